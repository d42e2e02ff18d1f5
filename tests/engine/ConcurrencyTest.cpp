#include "tests/engine/EngineTestSupport.h"

#include <QProcess>
#include <QThread>

#include <atomic>
#include <thread>

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

// A writer waits for another one for as long as its command allows, not for the connection's
// time-out: an import behind a long write must not fail while nothing is wrong.
TEST_F(ServerTest, AWriterWaitsForAnotherAsLongAsItsCommandAllows)
{
    stationDatabase();
    auto holder = connect("sa", "Secret1", "nivo");
    run(*holder, "begin tran insert inquiry(d1) values('first')");
    // One second to connect, a command without a time-out.
    auto waiter = m_backend->open(connectionString("sa", "Secret1", "nivo"), 1);
    std::atomic<bool> done = false;
    QString failure;
    std::thread writer([&] {
        try {
            waiter->execute("insert inquiry(d1) values('second')", 0);
        } catch (const data::DbError& error) {
            failure = error.description();
        }
        done = true;
    });
    QThread::msleep(1500);
    EXPECT_FALSE(done) << failure.toStdString();
    run(*holder, "commit");
    writer.join();
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(column(*holder, "select d1 from inquiry order by d60"), (QStringList { "first", "second" }));

    // With a time-out of its own, the command gives up and changes nothing.
    run(*holder, "begin tran insert inquiry(d1) values('third')");
    try {
        waiter->execute("insert inquiry(d1) values('fourth')", 1);
        ADD_FAILURE() << "the insert did not wait for the open transaction";
    } catch (const data::DbError& error) {
        EXPECT_EQ(error.nativeError(), 1222);
    }
    run(*holder, "commit");
    EXPECT_EQ(
        column(*holder, "select d1 from inquiry order by d60"), (QStringList { "first", "second", "third" }));
}
