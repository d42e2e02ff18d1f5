#include "tests/fuzz/FuzzTargets.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfoList>

using namespace glimora::fuzz;

namespace {

struct Target
{
    const char* name;
    int (*entry)(const uint8_t*, size_t);
};

std::ostream& operator<<(std::ostream& out, const Target& target)
{
    return out << target.name;
}

QFileInfoList inputsOf(const char* folder, const char* target)
{
    return QDir(QString::fromUtf8(folder) + u'/' + QString::fromUtf8(target))
        .entryInfoList(QDir::Files, QDir::Name);
}

class FuzzFindingsTest : public ::testing::TestWithParam<Target>
{
};

} // namespace

// Every input a fuzzer ever failed on, and the seeds it starts from, go through the same entry
// function; a broken property aborts the test binary with the reason on stderr.
TEST_P(FuzzFindingsTest, SavedInputsRunClean)
{
    // A moved folder would leave the seeds alone to pass.
    ASSERT_TRUE(QDir(QString::fromUtf8(GLIMORA_FUZZ_FINDINGS)).exists());
    const QFileInfoList inputs
        = inputsOf(GLIMORA_FUZZ_FINDINGS, GetParam().name) + inputsOf(GLIMORA_FUZZ_SEEDS, GetParam().name);
    ASSERT_FALSE(inputs.isEmpty());
    for (const QFileInfo& input : inputs) {
        SCOPED_TRACE(input.filePath().toStdString());
        QFile file(input.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(
            GetParam().entry(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzzers, FuzzFindingsTest,
    ::testing::Values(Target { "sql", sqlBatch }, Target { "backup", backupDevice },
        Target { "settings", settingsFile }, Target { "connection_string", connectionString },
        Target { "picture", recordPicture }, Target { "tds", tdsMessages }),
    [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });
