#include "tests/engine/EngineTestSupport.h"

#include <QProcess>

using namespace glimora;
using namespace glimora::engine::test;

TEST_F(ServerTest, TwoProcessesWriteOneDatabaseWhileAThirdReads)
{
    stationDatabase();
    auto reader = connect("sa", "Secret1", "nivo");
    constexpr int RowsPerWriter = 150;

    QList<QProcess*> writers;
    for (const char* tag : { "first", "second" }) {
        auto* process = new QProcess;
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(
            QStringLiteral(GLIMORA_ENGINE_WRITER), { dataDirectory(), QString::number(RowsPerWriter), tag });
        ASSERT_TRUE(process->waitForStarted());
        writers.append(process);
    }
    // Reads while the others write see whole rows, never fewer than before.
    int previous = 0;
    bool running = true;
    while (running) {
        const int count = column(*reader, "select count(*) from inquiry").value(0).toInt();
        EXPECT_GE(count, previous);
        previous = count;
        running = false;
        for (QProcess* process : writers) {
            process->waitForFinished(20);
            running = running || process->state() != QProcess::NotRunning;
        }
    }
    for (QProcess* process : writers) {
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0);
        delete process;
    }
    EXPECT_EQ(
        column(*reader, "select count(*) from inquiry"), QStringList { QString::number(2 * RowsPerWriter) });
    EXPECT_EQ(column(*reader, "select count(distinct d60) from inquiry"),
        QStringList { QString::number(2 * RowsPerWriter) });
    EXPECT_EQ(run(*reader, "select d1, count(*), max(d21) from inquiry group by d1 order by d1").rows,
        (QList<QStringList> { { "first", QString::number(RowsPerWriter), QString::number(RowsPerWriter - 1) },
            { "second", QString::number(RowsPerWriter), QString::number(RowsPerWriter - 1) } }));
}
