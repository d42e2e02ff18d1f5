#pragma once

#include "res/DialogTemplate.h"

#include <QFrame>

namespace glimora::ui {

// Stands where a data control, data grid or web browser sits until the components
// register their widgets with TemplateDialog::setComponentFactory.
class ComponentPlaceholder : public QFrame
{
    Q_OBJECT
public:
    ComponentPlaceholder(res::ControlKind kind, QWidget* parent = nullptr);

    res::ControlKind kind() const { return m_kind; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    res::ControlKind m_kind;
};

} // namespace glimora::ui
