// Draws a data grid with a few typical records (Chinese text, a date, a decimal, a picture)
// into a PNG file, to look at how cells read:
//
//   glimora_grid_screenshot <file.png> [end.png]
//
// With a second file, it also draws a grid over 5,000 such records after Ctrl+End, where the
// rows shown were read again after the grid had let them go.

#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "data/BackendRouter.h"
#include "data/Command.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"

#include <cstdio>
#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>

using namespace glimora;

namespace {

const QString login = QStringLiteral("Driver={SQL Server};Server=(LOCAL);database=%1;Uid=sa;pwd=Shot-Grid1");

void send(const QString& database, const QString& batch)
{
    data::Connection connection = data::Connection::create();
    connection.Open(login.arg(database));
    data::Command command = data::Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandText(batch);
    command.Execute();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: glimora_grid_screenshot <file.png>\n");
        return 2;
    }
    QTemporaryDir directory;
    data::BackendRouter::setEmbeddedBackend(
        std::make_shared<engine::EmbeddedBackend>(directory.filePath(QStringLiteral("sqldata"))));
    try {
        send(QStringLiteral("master"), QStringLiteral("CREATE DATABASE shot"));
        send(QStringLiteral("shot"),
            QStringLiteral(
                "CREATE TABLE inquiry(d1 nvarchar(255) NULL, d2 nvarchar(255) NULL, d16 datetime NULL, "
                "d26 decimal(18,2) null, d51 image null, d60 decimal(18,0) not null PRIMARY KEY "
                "identity(1,1))"));
        send(QStringLiteral("shot"),
            QStringLiteral(
                "INSERT INTO inquiry (d1, d2, d16, d26, d51) VALUES "
                "(N'张三', N'北京市海淀区中关村大街 27 号', '2024-01-31', 12.5, 0xFFD8FFE000104A464946), "
                "(N'李四', N'上海市浦东新区', '2023-12-01 08:30', 3, NULL), "
                "(N'王五', NULL, NULL, -1234567.891, 0x89504E47), "
                "(N'Zhao Liu', N'广州', '1999-09-09', 0, NULL)"));

        components::CAdodc control;
        control.SetConnectionString(login.arg(QStringLiteral("shot")));
        control.SetRecordSource(QStringLiteral("select d1,d2,d16,d26,d51,d60 from inquiry"));
        control.Refresh();
        components::CDataGrid grid;
        grid.resize(640, 200);
        grid.SetDataSource(control.Recordset());
        const QStringList captions { QStringLiteral("姓名"), QStringLiteral("地址"), QStringLiteral("日期"),
            QStringLiteral("金额"), QStringLiteral("照片"), QStringLiteral("编号") };
        const QList<float> widths { 80, 200, 100, 100, 60, 60 };
        components::CColumns columns = grid.Columns();
        for (int i = 0; i < columns.Count(); ++i) {
            columns.Item(i).SetCaption(captions.value(i));
            columns.Item(i).SetWidth(widths.value(i));
        }
        grid.show();
        // Pictures are read once their cells are painted.
        QApplication::processEvents();
        grid.grab();
        QApplication::processEvents();
        if (!grid.grab().save(QString::fromLocal8Bit(argv[1])))
            return 1;
        if (argc > 2) {
            send(QStringLiteral("shot"),
                QStringLiteral(
                    "INSERT INTO inquiry (d1, d2, d16, d26, d51) SELECT TOP 4996 a.d1, a.d2, a.d16, "
                    "a.d26, a.d51 FROM inquiry a, inquiry b, inquiry c, inquiry d, inquiry e, "
                    "inquiry f, inquiry g"));
            components::CAdodc large;
            large.SetConnectionString(login.arg(QStringLiteral("shot")));
            large.SetRecordSource(QStringLiteral("select d1,d2,d16,d26,d51,d60 from inquiry"));
            large.Refresh();
            components::CDataGrid end;
            end.resize(640, 300);
            end.SetDataSource(large.Recordset());
            for (int i = 0; i < widths.size(); ++i)
                end.Columns().Item(i).SetWidth(widths[i]);
            end.show();
            QApplication::processEvents();
            end.setFocus();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QApplication::sendEvent(&end, &press);
            for (int i = 0; i < 3; ++i) {
                QApplication::processEvents();
                end.grab();
            }
            std::printf("%ld records, %ld held, %ld with their pictures\n",
                large.Recordset().fetchedRecordCount(), large.Recordset().heldRecordCount(),
                large.Recordset().heldPictureRecordCount());
            if (!end.grab().save(QString::fromLocal8Bit(argv[2])))
                return 1;
        }
    } catch (const data::DbError& error) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
