#pragma once

#include <QWidget>

namespace glimora::query {

// The report title over the banner. The screen paints under its controls, and the title
// box starts on the banner picture, so the title is drawn by this transparent strip that
// stands above the banner and lets every input through, in its font (the shared font 2, or
// that enlarged).
class TitleStrip : public QWidget
{
    Q_OBJECT
public:
    explicit TitleStrip(QWidget* parent);

    QString title() const { return m_title; }
    void setTitle(const QString& title);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
};

} // namespace glimora::query
