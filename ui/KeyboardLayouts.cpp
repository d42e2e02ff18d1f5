#include "ui/KeyboardLayouts.h"

#include <algorithm>

namespace glimora::ui {

namespace {

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

KeyRow typing(const char* characters)
{
    KeyRow row;
    for (const QChar c : QString::fromLatin1(characters))
        row << KeySpec { QString(c) };
    return row;
}

KeySpec key(const char* caption, KeyAction action, double width)
{
    return KeySpec { utf8(caption), action, width };
}

KeySpec switchTo(KeyboardLayout target)
{
    static const char* const captions[] = { "拼音", "ABC", "123" };
    return KeySpec { utf8(captions[int(target)]), KeyAction::SwitchLayout, 1.5, target };
}

// Space, the two other layouts and the hide key close every layout the same way.
KeyRow bottomRow(KeyboardLayout current)
{
    KeyRow row;
    for (const KeyboardLayout other :
        { KeyboardLayout::Pinyin, KeyboardLayout::Latin, KeyboardLayout::Digits }) {
        if (other != current)
            row << switchTo(other);
    }
    row << key("空格", KeyAction::Space, 4.5) << key("隐藏", KeyAction::Hide, 1.5);
    return row;
}

QList<KeyRow> letterRows(KeyboardLayout layout)
{
    KeyRow first = typing("qwertyuiop");
    first << key("退格", KeyAction::Backspace, 1.5);
    KeyRow second = typing("asdfghjkl");
    second << key("清空", KeyAction::Clear, 1.5);
    // The apostrophe parts syllables that would run together ("xi'an").
    KeyRow third = typing(layout == KeyboardLayout::Pinyin ? "zxcvbnm'" : "zxcvbnm@_");
    return { first, second, third, bottomRow(layout) };
}

} // namespace

QList<KeyRow> keyRows(KeyboardLayout layout)
{
    if (layout != KeyboardLayout::Digits)
        return letterRows(layout);
    // What numbers and dates are written with: 12.50, -3, 2024-01-01, 2024/1/1, 12:30.
    // Four rows of equal width, so that the digits stand in columns as on a number pad.
    KeyRow first = typing("789");
    first << key("退格", KeyAction::Backspace, 1.5);
    KeyRow second = typing("456");
    second << key("清空", KeyAction::Clear, 1.5);
    KeyRow third = typing("123");
    third << KeySpec { QStringLiteral(":"), KeyAction::Type, 1.5 };
    KeyRow fourth = typing("0.-");
    fourth << KeySpec { QStringLiteral("/"), KeyAction::Type, 1.5 };
    return { first, second, third, fourth, bottomRow(layout) };
}

double widestRow(const QList<KeyRow>& rows)
{
    double widest = 0;
    for (const KeyRow& row : rows) {
        double width = 0;
        for (const KeySpec& spec : row)
            width += spec.width;
        widest = std::max(widest, width);
    }
    return widest;
}

} // namespace glimora::ui
