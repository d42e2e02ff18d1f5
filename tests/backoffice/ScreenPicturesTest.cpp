#include "backoffice/AdminDialog.h"
#include "backoffice/PasswordDialog.h"
#include "backoffice/ProgressDialog.h"
#include "tests/backoffice/BackOfficeFixture.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>

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
    addUser("ann", "pw1", "0,1,1,1,0,0,0,0,0,0");
    ASSERT_EQ(logInThroughTheLoginDialog("ann", "pw1"), ui::IDOK);
    {
        backoffice::AdminDialog menu;
        save(menu, "menu-three-rights");
    }
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
