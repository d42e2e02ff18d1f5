#include "app/KioskPage.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace glimora::app {

KioskPage::KioskPage(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
{
    // Without a window manager the state is only a wish: cover the screen by size too.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    setWindowState(Qt::WindowFullScreen);
    setStyleSheet(QStringLiteral("QDialog { background: #1c2a3a; } QLabel { color: white; }"));
}

void KioskPage::reject() { }

void KioskPage::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

QLabel* KioskPage::makeLabel(const QString& name, int pointSize)
{
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPointSize(pointSize);
    label->setFont(font);
    return label;
}

} // namespace glimora::app
