#pragma once

#include <functional>
#include <QList>
#include <QPair>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

class QLabel;
class QWidget;

namespace glimora::ui {

// Where an on-screen keyboard stands on its screen (a window) without covering the entry typed
// into. A window smaller than the display grows by the keyboard's height and the keyboard
// docks below its content. On a screen that fills the display the keyboard stands over the
// bottom; an entry there rises with the screen's bottom band of controls when the screen
// names the band's top, or else the keyboard docks just above the entry. Everything goes back
// to its place at release().
class KeyboardDock
{
public:
    KeyboardDock(QWidget* screen, QWidget* keyboard);
    KeyboardDock(const KeyboardDock&) = delete;
    KeyboardDock& operator=(const KeyboardDock&) = delete;

    void setRisingBand(std::function<int()> top) { m_bandTop = std::move(top); }
    int liftedBy() const { return m_lift; }
    bool isGrown() const { return m_grown; }
    // Whether the screen has no room to grow by a keyboard of this height.
    bool fillsDisplay(int height) const;

    // Places a keyboard of this height, `width` the least it needs, for the entry.
    void place(const QWidget* entry, int height, int width);
    void release();
    // The band back in its place, before the screen lays out its controls.
    void dropBand();

private:
    void grow(int height, int width);
    void liftBand(int top, int by);

    QWidget* m_screen;
    QWidget* m_keyboard;
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
