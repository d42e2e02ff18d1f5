#include "query/QueryDialog.h"

#include "app/AboutDialog.h"

namespace glimora::query {

QueryDialog::QueryDialog(QWidget* parent)
    : TemplateDialog(102, parent)
{
}

bool QueryDialog::OnSysCommand(unsigned int commandId)
{
    constexpr unsigned int aboutCommand = 0x0010;
    if ((commandId & 0xFFF0) != aboutCommand)
        return false;
    emit aboutBoxRequested();
    app::AboutDialog about(this);
    about.exec();
    return true;
}

} // namespace glimora::query
