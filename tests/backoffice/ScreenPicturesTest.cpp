#include "backoffice/AdminDialog.h"
#include "backoffice/PasswordDialog.h"
#include "backoffice/ProgressDialog.h"
#include "backoffice/StationStatusDialog.h"
#include "backoffice/StatusStatements.h"
#include "tests/backoffice/BackOfficeFixture.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace glimora;

// Pictures of the back office for looking at, written to $GLIMORA_SCREENS_OUT (default
// "screens" in the working directory of the run). Run on demand:
//   backoffice_tests --gtest_also_run_disabled_tests --gtest_filter='*Pictures*'
TEST_F(BackOfficeTest, DISABLED_Pictures)
{
    const QString folder = qEnvironmentVariable("GLIMORA_SCREENS_OUT", QDir::current().filePath("screens"));
    QDir().mkpath(folder);
    auto save = [&](QWidget& screen, const QString& name) {
        screen.show();
        QApplication::processEvents();
        EXPECT_TRUE(screen.grab().save(QDir(folder).filePath(name + ".png")));
        screen.hide();
    };
    {
        backoffice::AdminDialog menu;
        save(menu, "menu-sa");
    }
    sql(backoffice::StatusStatements::createTable()
        + " insert station_status values (N'lobby-1', N'0.1.0', '2026-12-09T07:58:12', 60, getdate(), "
          "dateadd(second, -40, getdate()), 0, 0, N'', '2026-12-09T02:00:04', N'') "
          "insert station_status values (N'lobby-2', N'0.1.0', '2026-12-09T07:59:40', 60, "
          "dateadd(minute, -12, getdate()), dateadd(minute, -15, getdate()), 3, 208, "
          "N'Invalid object name ''inquiry''.', '2026-12-08T02:00:03', N'Operating system error 28.') "
          "insert station_status values (N'pharmacy', N'0.1.0', '2026-12-09T08:01:02', 60, getdate(), null, "
          "1, 0, "
          "N'请选择对应记录', null, N'')");
    {
        backoffice::StationStatusDialog page;
        save(page, "station-status");
    }
    addUser("ann", "pw1", "0,1,1,1,0,0,0,0,0,0");
    ASSERT_EQ(logInThroughTheLoginDialog("ann", "pw1"), ui::IDOK);
    {
        backoffice::AdminDialog menu;
        save(menu, "menu-three-rights");
        settings::WriteSetting("show", "polish", "1");
        save(menu, "menu-three-rights-polish");
        settings::WriteSetting("show", "polish", "0");
    }
    // A short message, its box drawn with the title bar it must leave room for.
    ui::OkMessageBox::setAutoAnswer(QMessageBox::NoButton);
    QTimer::singleShot(0, [&]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QApplication::processEvents();
        QPixmap picture(box->width(), box->height() + 24);
        picture.fill(QColor(60, 60, 60));
        QPainter painter(&picture);
        painter.setPen(Qt::white);
        painter.drawText(QRect(8, 0, box->width() - 8, 24), Qt::AlignVCenter, box->windowTitle());
        painter.drawPixmap(0, 24, box->grab());
        painter.end();
        EXPECT_TRUE(picture.save(QDir(folder).filePath("message-box.png")));
        box->button(QMessageBox::Ok)->click();
    });
    ui::OkMessageBox::show(nullptr, utf8("请选择对应记录"));
    const char* texts[] = { "正在导入，请稍候.......", "正在备份，请稍候.......", "正在恢复，请稍候......." };
    const char* names[] = { "progress-import", "progress-backup", "progress-restore" };
    for (int job = 0; job < 3; ++job) {
        backoffice::ProgressDialog progress;
        progress.control<QLabel>(1101)->setText(utf8(texts[job]));
        progress.control<QProgressBar>(1100)->setValue(35);
        save(progress, names[job]);
    }
    backoffice::PasswordDialog password;
    password.control<QLineEdit>(1002)->setText("secret");
    save(password, "password");
}
