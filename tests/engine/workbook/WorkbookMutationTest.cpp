#include "engine/workbook/WorkbookReader.h"
#include "tests/engine/workbook/WorkbookFixtures.h"
#include "tests/support/TempWorkspace.h"
#include "tools/workbook-writer/ZipWriter.h"

#include <gtest/gtest.h>
#include <random>

using namespace glimora::engine;

namespace {

// Damage made to measure: flipped bits, overwritten lengths and offsets, cut-off tails.
QByteArray mutate(const QByteArray& original, std::mt19937& random)
{
    QByteArray bytes = original;
    auto position = [&](qsizetype size) { return qsizetype(random() % quint32(size)); };
    switch (random() % 4) {
    case 0:
        for (int i = 0, n = 1 + int(random() % 8); i < n; ++i)
            bytes[position(bytes.size())] = char(bytes.at(position(bytes.size())) ^ (1 << (random() % 8)));
        break;
    case 1: {
        static const quint32 extremes[] = { 0, 0xffffffffu, 0x7fffffffu, 0x80000000u, 0xfffffffeu, 0x10000u };
        const quint32 value = extremes[random() % std::size(extremes)];
        const qsizetype at = position(bytes.size() - 4);
        memcpy(bytes.data() + at, &value, 4);
        break;
    }
    case 2:
        bytes.truncate(position(bytes.size()));
        break;
    default:
        for (int i = 0, n = 1 + int(random() % 32); i < n; ++i)
            bytes[position(bytes.size())] = char(random());
        break;
    }
    return bytes;
}

// Every damaged variant is either read or refused with a WorkbookError; anything else (a
// crash, a hang, another exception) fails the suite.
void expectReadOrRefused(const QString& path, const QString& sheet, const std::string& variant)
{
    try {
        readWorkbookSheet(path, sheet, false);
    } catch (const WorkbookError&) {
    } catch (const std::exception& error) {
        ADD_FAILURE() << variant << ": " << error.what();
    }
}

class WorkbookMutationTest : public testing::TestWithParam<const char*>
{
};

TEST_P(WorkbookMutationTest, damagedFilesAreReadOrRefusedButNeverCrash)
{
    TempWorkspace workspace;
    const QString name = QString::fromLatin1(GetParam());
    const QByteArray original = fixtureBytes(name);
    // Each .xls read starts a child process, so those get fewer variants.
    const int variants = name.endsWith(QLatin1String(".xls")) ? 60 : 150;
    std::mt19937 random(20240601);
    for (int i = 0; i < variants; ++i) {
        workspace.writeFile("mutant", mutate(original, random));
        expectReadOrRefused(workspace.filePath("mutant"), "contrast", GetParam() + std::to_string(i));
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WorkbookMutationTest,
    testing::Values("contrast.xls", "contrast-biff5.xls", "records.xls", "contrast.xlsx", "records.xlsx"));

// Byte damage to a zip mostly trips its checksums; damage to the XML inside reaches the
// parser of every part.
TEST(WorkbookMutationTest, damagedXmlPartsAreReadOrRefusedButNeverCrash)
{
    TempWorkspace workspace;
    const QByteArray book = fixtureBytes("contrast.xlsx");
    workspace.writeFile("original.xlsx", book);
    std::mt19937 random(7);
    for (const char* part : { "xl/worksheets/sheet2.xml", "xl/sharedStrings.xml", "xl/styles.xml",
             "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "_rels/.rels" }) {
        const QByteArray xml
            = ZipWriter::readPart(workspace.filePath("original.xlsx"), QString::fromLatin1(part));
        ASSERT_FALSE(xml.isEmpty()) << part;
        for (int i = 0; i < 40; ++i) {
            workspace.writeFile("mutant.xlsx", book);
            ASSERT_TRUE(ZipWriter::putPart(
                workspace.filePath("mutant.xlsx"), QString::fromLatin1(part), mutate(xml, random)));
            expectReadOrRefused(workspace.filePath("mutant.xlsx"), "contrast", part + std::to_string(i));
        }
    }
}

} // namespace
