#pragma once

#include "ui/KeyboardDock.h"
#include "ui/KeyboardLayouts.h"
#include "ui/OnScreenKeyboardSetting.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

namespace glimora::ui {

class CandidateBar;

// The keyboard of a touch screen without one: a tap on a text entry of its screen brings it up
// docked at the bottom, never over that entry (see KeyboardDock). Keys type into the entry as
// a hardware keyboard or an input method would; the pinyin layout spells in the strip above
// the keys and a tap on a word there commits it.
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
    void setRisingBand(std::function<int()> top) { m_dock.setRisingBand(std::move(top)); }
    // How far the band stands raised: 0 when it is in its place.
    int liftedBy() const { return m_dock.liftedBy(); }

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
    int keyboardHeight() const;

    QWidget* m_screen;
    QPointer<QWidget> m_entry;
    KeyboardLayout m_layout = KeyboardLayout::Pinyin;
    QString m_spelling;
    CandidateBar* m_bar;
    QWidget* m_keys;
    int m_side = 48;
    KeyboardDock m_dock;
};

} // namespace glimora::ui
