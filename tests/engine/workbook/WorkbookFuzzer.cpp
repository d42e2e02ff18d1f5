// libFuzzer entry point for both workbook readers (configure with clang and
// -DGLIMORA_FUZZ_WORKBOOKS=ON). The .xls reader runs in-process here so that a fault in
// libfreexl shows up as a fault, not as a refused workbook.
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
            XlsReader(path, XlsReader::Isolation::InProcess).read(QStringLiteral("contrast"), false);
    } catch (const WorkbookError&) {
    }
    return 0;
}
