#include "ui/ApplicationTitle.h"

namespace glimora::ui {

namespace {

QString& title()
{
    static QString value = QStringLiteral("glimora");
    return value;
}

} // namespace

QString applicationTitle()
{
    return title();
}

void setApplicationTitle(const QString& newTitle)
{
    title() = newTitle;
}

} // namespace glimora::ui
