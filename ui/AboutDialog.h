#pragma once

#include "ui/TemplateDialog.h"

namespace glimora::ui {

// The about box, opened from the query screen's system menu command.
class AboutDialog : public TemplateDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace glimora::ui
