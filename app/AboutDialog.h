#pragma once

#include "ui/TemplateDialog.h"

namespace glimora::app {

// The about box, opened from the query screen's system menu command.
class AboutDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace glimora::app
