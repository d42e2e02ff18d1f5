#include "backoffice/LoginDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace glimora::backoffice {

LoginDialog::LoginDialog(QWidget* parent)
    : QDialog(parent)
    , m_backOffice(new QCheckBox(QString::fromUtf8("后台"), this))
{
    setObjectName(QStringLiteral("loginDialog"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_backOffice);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool LoginDialog::backOfficeChosen() const
{
    return m_backOffice->isChecked();
}

} // namespace glimora::backoffice
