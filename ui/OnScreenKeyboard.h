#pragma once

#include "ui/KeyboardLayouts.h"
#include "ui/OnScreenKeyboardSetting.h"

#include <functional>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QLabel;

namespace glimora::ui {

class CandidateBar;

// The keyboard of a touch screen without one: a tap on a text entry of its screen brings it up
// docked at the bottom, never over that entry. On a screen that fills the display the keyboard
// stands over the lower part; an entry there rises with its band of controls (the screen names
// the band's top), or else the keyboard docks just above the entry. A smaller window grows and
// the keyboard docks below its content. Keys
// type into the entry as a hardware keyboard or an input method would; the pinyin layout
// spells in the strip above the keys and a tap on a word there commits it.
class OnScreenKeyboard : public QWidget
{
    Q_OBJECT
public:
    // The keyboard of `screen` (a window) when the osk setting reaches screens that need
    // `needed`, made once; nullptr, and nothing changes, when it does not.
    static OnScreenKeyboard* attachTo(QWidget* screen, OnScreenKeyboardSetting::Scope needed);
    // The keyboard attached to `screen`, if any.
    static OnScreenKeyboard* of(const QWidget* screen);

    // The side of a letter key for a display: proportional to 64 px at 1280x1024, never below 44.
    static int keySide(const QSize& display);

    // The top of the screen's bottom band of controls, which rises above the keyboard, as a
    // whole, when an entry in it would be covered.
    void setRisingBand(std::function<int()> top) { m_bandTop = std::move(top); }
    // How far the band stands raised: 0 when it is in its place.
    int liftedBy() const { return m_lift; }

    void showFor(QWidget* entry);
    void hideKeyboard();

    KeyboardLayout currentLayout() const { return m_layout; }
    void setCurrentLayout(KeyboardLayout layout);
    QWidget* entry() const { return m_entry; }
    // The pinyin typed and not yet committed.
    QString spelling() const { return m_spelling; }
    CandidateBar* candidateBar() const { return m_bar; }
    int side() const { return m_side; }
    // Where the key or word with this caption stands, in the keyboard's coordinates; empty
    // when none is on show.
    QRect keyRect(const QString& caption) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit OnScreenKeyboard(QWidget* screen);
    void buildKeys();
    void press(const KeySpec& key);
    void spell(const QString& letters);
    void refreshCandidates();
    void choose(int index);
    void dock();
    void undock();
    void liftBand(int top, int by);
    void dropBand();
    int keyboardHeight() const;

    QWidget* m_screen;
    QPointer<QWidget> m_entry;
    KeyboardLayout m_layout = KeyboardLayout::Pinyin;
    QString m_spelling;
    CandidateBar* m_bar;
    QWidget* m_keys;
    int m_side = 48;
    // A window grown to hold the keyboard goes back to these.
    bool m_grown = false;
    QRect m_windowPlace;
    QSize m_minimumSize;
    QSize m_maximumSize;
    std::function<int()> m_bandTop;
    int m_lift = 0;
    QList<QPair<QPointer<QWidget>, QPoint>> m_lifted;
    // The screen's own drawing of the band, carried up behind the raised controls.
    QLabel* m_backdrop = nullptr;
};

} // namespace glimora::ui
