#pragma once

#include <QDialog>

class QLabel;

namespace glimora::app {

// A page of the kiosk's own while no query screen can show (no login, no connection): it
// covers the whole screen in the kiosk's dark colour, and nobody can close it; it ends when
// its work is done.
class KioskPage : public QDialog
{
    Q_OBJECT
public:
    explicit KioskPage(QWidget* parent = nullptr);

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

    // A centred, wrapped line of plain text for the page's layout.
    QLabel* makeLabel(const QString& name, int pointSize);
};

} // namespace glimora::app
