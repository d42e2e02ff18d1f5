#pragma once

#include "ui/TemplateDialog.h"

namespace glimora::query {

// The public query screen.
class QueryDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit QueryDialog(QWidget* parent = nullptr);

    // A system command of the window; 0x0010 (low four bits ignored) opens the about box.
    // Returns whether the command was handled here.
    bool OnSysCommand(unsigned int commandId);

signals:
    void aboutBoxRequested();
};

} // namespace glimora::query
