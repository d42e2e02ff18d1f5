#pragma once

#include <QAccessibleWidget>

namespace glimora::ui {

class BitmapStatic;

// A skinned picture as a screen reader sees it: its role, and for one that notifies, a press
// that does what a double tap does.
class BitmapStaticAccessible : public QAccessibleWidget
{
public:
    explicit BitmapStaticAccessible(BitmapStatic* picture);

    // Makes every BitmapStatic use this interface; once is enough.
    static void install();

    QAccessible::Role role() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

private:
    BitmapStatic* picture() const;
};

} // namespace glimora::ui
