#pragma once

#include "ui/OnScreenKeyboard.h"

#include <QTest>

// A finger's tap on the on-screen keyboard: a press and release at the middle of the key or
// word with this caption, delivered to whatever stands there. False when none is on show.
inline bool tapKey(glimora::ui::OnScreenKeyboard* keyboard, const QString& caption)
{
    const QRect place = keyboard ? keyboard->keyRect(caption) : QRect();
    if (place.isEmpty())
        return false;
    QWidget* target = keyboard->childAt(place.center());
    if (!target)
        return false;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(keyboard, place.center()));
    return true;
}

inline bool tapKeys(glimora::ui::OnScreenKeyboard* keyboard, const QString& captions)
{
    for (const QChar c : captions) {
        if (!tapKey(keyboard, QString(c)))
            return false;
    }
    return true;
}
