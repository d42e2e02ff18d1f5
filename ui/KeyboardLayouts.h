#pragma once

#include <QList>
#include <QString>

namespace glimora::ui {

// The key rows of the on-screen keyboard's layouts. Widths are in key units: a letter key is
// one unit square.
enum class KeyboardLayout { Pinyin, Latin, Digits };

enum class KeyAction { Type, Backspace, Space, Clear, Hide, SwitchLayout };

struct KeySpec
{
    QString caption; // typed as it reads for KeyAction::Type
    KeyAction action = KeyAction::Type;
    double width = 1.0;
    KeyboardLayout target = KeyboardLayout::Pinyin; // for KeyAction::SwitchLayout
};

using KeyRow = QList<KeySpec>;

QList<KeyRow> keyRows(KeyboardLayout layout);
// The widest row, in key units.
double widestRow(const QList<KeyRow>& rows);

} // namespace glimora::ui
