#pragma once

#include <QComboBox>

class QPropertyAnimation;
class QStyle;

namespace glimora::ui {

// The editable drop-down list of the templates. A sorted one keeps the entries that
// addString() adds in Chinese collation order (ICU's "zh" collation: pinyin order for
// Chinese characters, digits first). insertString() puts an entry where it is told,
// sorted or not, as the platform's combo box does.
class DropDownCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit DropDownCombo(bool sorted, QWidget* parent = nullptr);

    bool isSorted() const { return m_sorted; }

    // Whether the open list is as wide as its longest entry needs (within the screen) rather
    // than as wide as the box.
    void setPopupFitsEntries(bool fits) { m_popupFitsEntries = fits; }
    bool popupFitsEntries() const { return m_popupFitsEntries; }

    // For a finger: a wide arrow, tall rows, a wide scroll bar, the open list following a
    // swipe and gliding on after a quick one, and a tap anywhere on the closed box opening it. Off, the
    // template's look.
    void setFingerSized(bool on);
    bool isFingerSized() const { return m_fingerStyle != nullptr; }
    // Whether a finger's tap on the text opens the list (it does unless an on-screen keyboard
    // types into it: then the tap is for typing and the arrow opens the list).
    void setTextTapOpensList(bool opens) { m_textTapOpensList = opens; }

    // An entry's number of records: the open list shows it after the entry's text, and it is
    // never part of the text, which is what a pick puts into the box.
    static constexpr int CountRole = Qt::UserRole + 1;
    void showCounts();

    // Adds an entry (at its sorted place when sorted) and returns its index.
    int addString(const QString& text);
    void insertString(int index, const QString& text);

    // The order a sorted list keeps: negative when `a` comes before `b`.
    static int compare(const QString& a, const QString& b);

signals:
    // Just before the list drops down; a handler may refill it.
    void dropDownOpening();

public:
    void showPopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitPopupToEntries();
    void trackSpeed(int y, quint64 time);
    void fling(quint64 releaseTime);
    bool forwardTyping(QEvent* event);

    bool m_sorted;
    QStyle* m_fingerStyle = nullptr;
    bool m_popupFitsEntries = false;
    bool m_textTapOpensList = true;
    // Where a press on the open list began; a release away from it ends a drag, not a pick.
    QPoint m_pressAt;
    int m_scrolledAtPress = 0;
    // The finger's last place and speed (pixels per ms, positive upwards), for a throw.
    int m_lastMoveAt = 0;
    quint64 m_lastMoveTime = 0;
    double m_speed = 0;
    QPropertyAnimation* m_fling = nullptr;
    bool m_dragged = false;
};

} // namespace glimora::ui
