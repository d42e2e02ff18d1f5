#include "app/DefaultScreenFactory.h"
#include "app/QueryApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora"));
    glimora::app::DefaultScreenFactory screens;
    glimora::app::QueryApp queryApp(screens);
    queryApp.InitInstance();
    return 0;
}
