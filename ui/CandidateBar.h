#pragma once

#include <functional>
#include <QList>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;

namespace glimora::ui {

// The strip above the keys that shows the pinyin typed so far and the words it may stand
// for, as many as fit, most likely first. The arrows or a sideways swipe page through the
// rest; a tap on a word chooses it.
class CandidateBar : public QWidget
{
    Q_OBJECT
public:
    using Fetch = std::function<QStringList(int first, int number)>;

    explicit CandidateBar(QWidget* parent = nullptr);

    void setKeySide(int side);
    // `total` words, fetched a page at a time; an empty spelling empties the bar.
    void setCandidates(const QString& spelling, int total, Fetch fetch);
    void nextPage();
    void previousPage();
    // The index of the first word on show.
    int pageStart() const { return m_start; }
    QStringList shownWords() const;

signals:
    void chosen(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillPage();
    QPushButton* makeButton(const QString& caption);

    int m_side = 48;
    QLabel* m_spelling;
    QPushButton* m_previous;
    QPushButton* m_next;
    QList<QPushButton*> m_words;
    Fetch m_fetch;
    int m_total = 0;
    int m_start = 0;
    QList<int> m_previousStarts;
    int m_pressX = 0;
    bool m_pressed = false;
    bool m_swiped = false;
};

} // namespace glimora::ui
