#pragma once

#include <QDialog>

namespace glimora::backoffice {

// The back-office menu.
class AdminDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AdminDialog(QWidget* parent = nullptr);
};

} // namespace glimora::backoffice
