#pragma once

#include <QBrush>
#include <QColor>

class QPainter;
class QWidget;

namespace glimora::ui {

// The colour rule of every skinned screen: the screen's own background brush (solid, or
// a skin bitmap tiled from the top-left corner), and its static texts and check boxes in
// blue on a transparent background. Other controls keep their own colours.
class SkinnedDialogColors
{
public:
    static constexpr QColor StaticTextColor { 0, 0, 255 };

    // The platform's default dialog colours; nothing is changed.
    SkinnedDialogColors() = default;

    static SkinnedDialogColors solid(const QColor& color);
    // The brush is made once, when the screen sets itself up.
    static SkinnedDialogColors pattern(int bitmapId);

    bool isDefault() const { return m_default; }
    const QBrush& background() const { return m_background; }

    // Gives the static texts and check boxes among the screen's controls their colours.
    void applyTo(QWidget* dialog) const;
    // Colours one control, when it asks for static colours.
    void applyToControl(QWidget* control) const;
    // Fills the screen's background.
    void paintBackground(QPainter& painter, const QWidget* dialog) const;

    // Whether a control asks for static colours: texts, pictures, frames and check boxes.
    static bool asksForStaticColours(const QWidget* control);

private:
    bool m_default = true;
    QBrush m_background;
};

} // namespace glimora::ui
