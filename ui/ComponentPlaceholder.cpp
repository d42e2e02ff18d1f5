#include "ui/ComponentPlaceholder.h"

#include <QPainter>

namespace glimora::ui {

namespace {

QString label(res::ControlKind kind)
{
    switch (kind) {
    case res::ControlKind::DataControl:
        return QStringLiteral("data control");
    case res::ControlKind::DataGrid:
        return QStringLiteral("data grid");
    case res::ControlKind::WebBrowser:
        return QStringLiteral("web browser");
    default:
        return {};
    }
}

} // namespace

ComponentPlaceholder::ComponentPlaceholder(res::ControlKind kind, QWidget* parent)
    : QFrame(parent)
    , m_kind(kind)
{
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
}

void ComponentPlaceholder::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0xF4, 0xF6, 0xF8));
        painter.setPen(QColor(0x8A, 0x94, 0xA0));
        painter.drawText(rect(), Qt::AlignCenter, label(m_kind));
    }
    QFrame::paintEvent(event);
}

} // namespace glimora::ui
