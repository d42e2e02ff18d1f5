#include "ui/FileDialog.h"
#include "tests/support/TempWorkspace.h"
#include "tests/support/WaitFor.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QTimer>

using glimora::ui::FileDialog;

namespace {

// The names the real dialog lists once it has read `count` of them, then cancels it.
QStringList listedNames(const QString& filter, const QString& directory, int count)
{
    QStringList names;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return view && view->model()->rowCount(view->rootIndex()) >= count; }, 5000));
        for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row)
            names << view->model()->index(row, 0, view->rootIndex()).data().toString();
        dialog->reject();
    });
    EXPECT_EQ(FileDialog::getOpenFileName(nullptr, filter, directory, FileDialog::Mode::AnyFile), QString());
    names.sort();
    return names;
}

} // namespace

TEST(FileDialogListing, ExtensionsMatchWhateverTheirCase)
{
    TempWorkspace workspace;
    for (const char* name : { "a.xls", "B.XLS", "c.Xls", "d.xlsx", "e.txt", "f.dbk", "G.DBK" })
        workspace.writeFile(name, "x");
    EXPECT_EQ(listedNames("(*.XLS)|*.XLS|(*.XLSX)|*.XLSX||", workspace.path(), 3),
        (QStringList { "B.XLS", "a.xls", "c.Xls" }));
    EXPECT_EQ(listedNames("morvex(*.dbk)|*.dbk||", workspace.path(), 2), (QStringList { "G.DBK", "f.dbk" }));
}
