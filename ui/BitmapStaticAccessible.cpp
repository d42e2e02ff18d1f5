#include "ui/BitmapStaticAccessible.h"

#include "ui/BitmapStatic.h"

namespace glimora::ui {

namespace {

QAccessibleInterface* bitmapStaticFactory(const QString&, QObject* object)
{
    if (auto* picture = qobject_cast<BitmapStatic*>(object))
        return new BitmapStaticAccessible(picture);
    return nullptr;
}

} // namespace

BitmapStaticAccessible::BitmapStaticAccessible(BitmapStatic* picture)
    : QAccessibleWidget(picture)
{
}

void BitmapStaticAccessible::install()
{
    static const bool installed = (QAccessible::installFactory(&bitmapStaticFactory), true);
    Q_UNUSED(installed);
}

BitmapStatic* BitmapStaticAccessible::picture() const
{
    return static_cast<BitmapStatic*>(widget());
}

QAccessible::Role BitmapStaticAccessible::role() const
{
    return picture()->accessibleRole();
}

QStringList BitmapStaticAccessible::actionNames() const
{
    QStringList names = QAccessibleWidget::actionNames();
    if (picture()->notifies())
        names.prepend(pressAction());
    return names;
}

// A tap notifies a click and a second tap a double click: a tab answers the one, the close
// picture the other.
void BitmapStaticAccessible::doAction(const QString& actionName)
{
    if (actionName == pressAction() && picture()->notifies() && picture()->isEnabled()) {
        emit picture()->clicked();
        emit picture()->doubleClicked();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

} // namespace glimora::ui
