#include "query/QueryDialog.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QTimer>

using glimora::query::QueryDialog;

TEST(QueryDialogSysCommandTest, AboutCommandOpensTheAboutBoxIgnoringTheLowFourBits)
{
    QueryDialog dialog;
    int opened = 0;
    QObject::connect(&dialog, &QueryDialog::aboutBoxRequested, [&] {
        ++opened;
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
    });
    EXPECT_TRUE(dialog.OnSysCommand(0x0010));
    EXPECT_TRUE(dialog.OnSysCommand(0x001F));
    EXPECT_FALSE(dialog.OnSysCommand(0xF060)); // close goes to the default handling
    EXPECT_FALSE(dialog.OnSysCommand(0x0020));
    EXPECT_EQ(opened, 2);
}
