#include "components/ComponentFactories.h"

#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "components/CWebBrowser2.h"
#include "ui/TemplateDialog.h"

namespace glimora::components {

void ComponentFactories::install()
{
    using res::ControlKind;
    using res::ControlTemplate;
    ui::TemplateDialog::setComponentFactory(
        ControlKind::DataControl, [](const ControlTemplate& control, QWidget* parent) {
            auto* dataControl = new CAdodc(parent);
            dataControl->setWindowTitle(QString::fromUtf8(control.text));
            return static_cast<QWidget*>(dataControl);
        });
    ui::TemplateDialog::setComponentFactory(ControlKind::DataGrid,
        [](const ControlTemplate&, QWidget* parent) { return static_cast<QWidget*>(new CDataGrid(parent)); });
    ui::TemplateDialog::setComponentFactory(
        ControlKind::WebBrowser, [](const ControlTemplate&, QWidget* parent) {
            return static_cast<QWidget*>(new CWebBrowser2(parent));
        });
}

} // namespace glimora::components
