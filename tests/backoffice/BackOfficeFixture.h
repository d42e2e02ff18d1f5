#pragma once

#include "backoffice/LoginDialog.h"
#include "data/BackendRouter.h"
#include "data/SharedDatabase.h"
#include "data/StatementRecorder.h"
#include "engine/server/EmbeddedBackend.h"
#include "platform/ComputerName.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/TempWorkspace.h"
#include "ui/FileDialog.h"
#include "ui/MainScreen.h"
#include "ui/OkMessageBox.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

// A station on the embedded server in the test's own folder: the demo's settings, the
// database made by a first login of "sa", and the back office's user logged in.
class BackOfficeTest : public ::testing::Test
{
protected:
    static constexpr const char* SaPassword = "Secret1"; // the second process logs in with it

    void SetUp() override { setUpStation(""); }

    // `extraSystemKeys` are lines added to the section "system".
    void setUpStation(const QByteArray& extraSystemKeys)
    {
        QFile demo(QStringLiteral(GLIMORA_DEMO_DIR "/uinfo.ini"));
        ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
        QByteArray settings = demo.readAll();
        settings.replace("[system]\n", "[system]\n" + extraSystemKeys);
        workspace.writeFile("uinfo.ini", settings);
        workspace.seedFromTestData("workbooks/contrast.xls", "Contrast.XLS");
        glimora::settings::Settings::instance().load();
        // The jobs' statements as they always were; the snapshot and search tests turn them on.
        glimora::settings::WriteSetting(
            QStringLiteral("backup"), QStringLiteral("snapshots"), QStringLiteral("0"));
        glimora::settings::WriteSetting(
            QStringLiteral("show"), QStringLiteral("search"), QStringLiteral("0"));
        glimora::settings::WriteSetting(
            QStringLiteral("index"), QStringLiteral("questions"), QStringLiteral("0"));
        backend = std::make_shared<glimora::engine::EmbeddedBackend>(workspace.filePath("sqldata"));
        glimora::data::BackendRouter::setEmbeddedBackend(backend);
        glimora::ui::OkMessageBox::clearShownTexts();
        glimora::ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);
        ASSERT_EQ(logInThroughTheLoginDialog("sa", SaPassword), glimora::ui::IDOK);
    }

    void TearDown() override
    {
        glimora::ui::OkMessageBox::setAutoAnswer(QMessageBox::NoButton);
        glimora::ui::FileDialog::setNextFileName(QString());
        glimora::ui::FileDialog::getOpenFileName(nullptr, QString()); // use up an unused answer
        glimora::ui::MainScreen::set(nullptr);
        glimora::data::StatementRecorder::stop();
        glimora::data::SharedDatabase::releaseObjects();
        glimora::data::BackendRouter::setEmbeddedBackend(nullptr);
        glimora::settings::setSettingsDirectory(QString());
    }

    int logInThroughTheLoginDialog(const QString& user, const QString& password)
    {
        glimora::data::SharedDatabase::releaseObjects();
        glimora::backoffice::LoginDialog dialog;
        dialog.control<QComboBox>(1000)->setEditText("localhost");
        dialog.control<QComboBox>(1001)->setEditText(user);
        dialog.control<QLineEdit>(1002)->setText(password);
        dialog.control<QCheckBox>(1128)->setChecked(true);
        QTest::mouseClick(dialog.control(1), Qt::LeftButton);
        return dialog.result();
    }

    // A second connection, of sa, for setting up and checking what the database holds.
    glimora::engine::test::Rows sql(const QString& batch, const QString& database = QStringLiteral("nivo"))
    {
        auto session = backend->open(
            QStringLiteral("Server=(local);Database=%1;Uid=sa;pwd=%2").arg(database, SaPassword), 30);
        return glimora::engine::test::run(*session, batch);
    }
    QString value(const QString& statement) { return sql(statement).rows.value(0).value(0); }

    // A login with the rights of a row of `username`; `rights` holds acc1..acc10 as SQL values.
    void addUser(const QString& name, const QString& password, const QString& rights)
    {
        const QString quoted = QString(name).replace("'", "''");
        sql(QStringLiteral("exec sp_addlogin '%1','%2','nivo'").arg(quoted, password), "master");
        sql(QStringLiteral("exec sp_adduser '%1' exec sp_addrolemember 'db_owner','%1'").arg(quoted));
        if (!rights.isEmpty())
            sql(QStringLiteral("insert username(uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10) "
                               "values('%1',%2)")
                    .arg(quoted, rights));
    }

    static QStringList shown() { return glimora::ui::OkMessageBox::shownTexts(); }
    static QString utf8(const char* text) { return QString::fromUtf8(text); }

    TempWorkspace workspace;
    std::shared_ptr<glimora::engine::EmbeddedBackend> backend;
};
