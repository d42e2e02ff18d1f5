#pragma once

#include <QAccessible>
#include <QFont>
#include <QWidget>

#include <optional>

namespace glimora::ui {

// A static picture showing a skin bitmap stretched over its rectangle. One that notifies
// reports a click on the press of the left button and a double click, as the platform's
// notifying statics do.
class BitmapStatic : public QWidget
{
    Q_OBJECT
public:
    BitmapStatic(int bitmapId, bool notifies, QWidget* parent = nullptr);

    int bitmapId() const { return m_bitmapId; }
    void setBitmapId(int id);
    bool notifies() const { return m_notifies; }

    // A caption drawn over the picture's face instead of the label painted in it (a tab in
    // large text); an empty text shows the picture as it is.
    void setCaption(const QString& text, const QFont& font);
    QString caption() const { return m_caption; }

    // The bitmap's own size; the template rectangle when it cannot be loaded.
    QSize bitmapSize() const;

    // What a screen reader calls it: a button when it notifies, otherwise a picture, unless set.
    QAccessible::Role accessibleRole() const;
    void setAccessibleRole(QAccessible::Role role);

signals:
    void clicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_bitmapId;
    bool m_notifies;
    bool m_focusedByKey = false;
    std::optional<QAccessible::Role> m_role;
    QString m_caption;
    QFont m_captionFont;
};

} // namespace glimora::ui
