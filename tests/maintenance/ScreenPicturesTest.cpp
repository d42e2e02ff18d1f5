// Pictures of the maintenance screens in their main states, over the demo station's data,
// for looking at them: GLIMORA_SCREENS_DIR=<folder> glimora_maintenance_tests
// --gtest_filter='ScreenPictures*'. Without the variable the pictures go to a temporary
// folder, so that the suite still brings every screen up in each of these states.
#include "maintenance/ConfigDialog.h"
#include "maintenance/DataManageDialog.h"
#include "maintenance/UserManageDialog.h"

#include "components/ComponentFactories.h"
#include "data/CatalogueCaptions.h"
#include "tests/maintenance/MaintenanceStation.h"
#include "ui/SharedFonts.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace glimora;

namespace {

const QString demo = QStringLiteral("../../demo/");

QByteArray demoSettings()
{
    QFile file(QStringLiteral(GLIMORA_TEST_DATA_DIR "/../../demo/uinfo.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString picturesFolder;

void save(QWidget& screen, const QString& name)
{
    screen.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&screen));
    QCoreApplication::processEvents();
    const QDir folder(picturesFolder);
    EXPECT_TRUE(screen.grab().save(folder.filePath(name + QStringLiteral(".png")), "PNG"))
        << name.toStdString();
}

} // namespace

TEST(ScreenPictures, MaintenanceScreensInTheirMainStates)
{
    QTemporaryDir temporary;
    picturesFolder = qEnvironmentVariableIsEmpty("GLIMORA_SCREENS_DIR")
        ? temporary.path()
        : qEnvironmentVariable("GLIMORA_SCREENS_DIR");
    QDir().mkpath(picturesFolder);
    components::ComponentFactories::install();
    ui::createSharedFonts();
    MaintenanceStation station(demoSettings(), demo + QStringLiteral("Contrast.XLS"));
    QString import
        = QStringLiteral("insert inquiry(d1,d2,d3,d4,d5,d6,d7,d8,d16,d26) select f1,f2,f3,f4,f5,f6,f7,"
                         "f8,f9,f10 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;"
                         "Database=%1',records$) where f1<>'类别'");
    station.execute(import.arg(QStringLiteral(GLIMORA_TEST_DATA_DIR "/../../demo/records.xls")));
    data::CatalogueCaptions::shared()
        = { QString::fromUtf8("晴岚人民医院"), QString::fromUtf8("药品及医疗服务价格表") };

    {
        maintenance::ConfigDialog config;
        for (int tab = 0; tab < maintenance::ConfigDialog::TabCount; ++tab) {
            config.chooseTab(tab);
            save(config, QStringLiteral("131-config-tab%1").arg(tab));
        }
    }
    {
        maintenance::DataManageDialog data;
        save(data, QStringLiteral("176-data"));
    }
    {
        maintenance::DataManageDialog entry(nullptr, maintenance::DataManageDialog::Opening::NewRecord);
        save(entry, QStringLiteral("176-data-entry"));
        // A record typed in, Return after each cell, up to the last: the typing stays on it.
        for (const char* cell : { "西药", "阿莫西林胶囊", "0.25g*24粒" }) {
            for (const QChar c : QString::fromUtf8(cell))
                QTest::sendKeyEvent(
                    QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        save(entry, QStringLiteral("176-data-entry-typed"));
    }
    for (const char* user : { "ann", "bob", "张医生" })
        station.execute(QStringLiteral("insert username(uname,acc1,acc5,acc8) values('%1',1,0,1)")
                            .arg(QString::fromUtf8(user)));
    {
        maintenance::UserManageDialog users;
        save(users, QStringLiteral("182-users"));
        QTreeWidget* tree = users.control<QTreeWidget>(1127);
        const QRect rect = tree->visualItemRect(users.userItem(QStringLiteral("bob")));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        save(users, QStringLiteral("182-users-bob"));
        // The keyboard moves the selection; the name and ticks shown stay bob's until a click.
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Down);
        save(users, QStringLiteral("182-users-bob-down"));
        QTest::mouseClick(users.control(1005), Qt::LeftButton);
        users.control<QLineEdit>(1002)->setText(QString::fromUtf8("李护士"));
        users.control<QLineEdit>(1003)->setText(QStringLiteral("secret"));
        users.control<QCheckBox>(1133)->setChecked(true);
        save(users, QStringLiteral("182-users-new"));
    }
}
