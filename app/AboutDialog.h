#pragma once

#include <QDialog>

namespace glimora::app {

// The about box, opened from the query screen's system menu command.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace glimora::app
