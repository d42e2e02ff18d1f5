#include "ui/ControlColours.h"

#include "ui/ContrastSetting.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>

namespace glimora::ui {

namespace {

constexpr const char* Applied = "glimoraContrastColours";

QPalette contrastPalette(QPalette palette)
{
    for (const QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive }) {
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Window, Qt::white);
        palette.setColor(group, QPalette::Button, Qt::white);
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::ButtonText, Qt::black);
        // The style's hint grey reads at less than 3:1 on white.
        palette.setColor(group, QPalette::PlaceholderText, QColor(0x40, 0x40, 0x40));
        palette.setColor(group, QPalette::Highlight, Qt::black);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    return palette;
}

void colour(QWidget* widget, bool on)
{
    if (on) {
        widget->setPalette(contrastPalette(widget->palette()));
        widget->setProperty(Applied, true);
    } else if (widget->property(Applied).toBool()) {
        widget->setPalette(QPalette());
        widget->setProperty(Applied, false);
    }
}

} // namespace

QString ControlColours::bandButtonStyleSheet()
{
    return ContrastSetting::enabled()
        ? QStringLiteral("QPushButton { background: #FFEB3B; color: black; border: 2px solid black;"
                         " border-radius: 6px; } QPushButton:checked { background: black; color: white; }")
        : QStringLiteral(
            "QPushButton { background: #174E9C; color: white; border: 1px solid #EAF2FC;"
            " border-radius: 6px; } QPushButton:checked { background: #F2A12C; color: #0B254A; }");
}

void ControlColours::applyTo(QWidget* control)
{
    const bool on = ContrastSetting::enabled();
    colour(control, on);
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        colour(list->view(), on);
        if (list->lineEdit())
            colour(list->lineEdit(), on);
    }
    // The style draws an entry's frame light grey: a black one shows where to type.
    auto* entry = qobject_cast<QLineEdit*>(control);
    if (entry && !qobject_cast<QComboBox*>(entry->parentWidget()))
        // The palette's colours stand: a colour set here would draw the hint in half its strength.
        entry->setStyleSheet(
            on ? QStringLiteral("QLineEdit { border: 2px solid black; padding: 1px 4px; }") : QString());
}

} // namespace glimora::ui
