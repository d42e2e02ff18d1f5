// libFuzzer entry point for both workbook readers (configure with clang and
// -DGLIMORA_FUZZ_WORKBOOKS=ON). By default the .xls reader (compound file and BIFF
// records) runs in-process, so that the sanitizers see its faults and the fuzzer its
// coverage; with GLIMORA_FUZZ_CHILD=1 it goes through the child process, as in the
// server, which fuzzes our side of the pipe.
//
//   workbook_fuzzer -max_len=65536 corpus/ tests/fixtures/workbooks/

#include "engine/workbook/XlsReader.h"
#include "engine/workbook/XlsxReader.h"

#include <cstddef>
#include <cstdint>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

using namespace glimora::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir directory;
    static const QString path = directory.filePath(QStringLiteral("input"));
    static const XlsReader::Isolation isolation = qEnvironmentVariableIntValue("GLIMORA_FUZZ_CHILD") == 1
        ? XlsReader::Isolation::ChildProcess
        : XlsReader::Isolation::InProcess;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return 0;
    }
    try {
        if (bytes.startsWith("PK"))
            XlsxReader(path).read(QStringLiteral("contrast"), false);
        else
            XlsReader(path, isolation).read(QStringLiteral("contrast"), false);
    } catch (const WorkbookError&) {
    }
    return 0;
}
