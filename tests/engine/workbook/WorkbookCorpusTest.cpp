// Every sheet of every workbook in the corpus (written by xlwt, openpyxl, SheetJS and
// LibreOffice) must read cell for cell as the independent readers read it: xlrd for .xls,
// openpyxl for .xlsx (tests/fixtures/workbooks/corpus/generate writes both).
#include "engine/workbook/WorkbookReader.h"
#include "tests/engine/workbook/WorkbookFixtures.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace glimora::engine;
using glimora::data::Variant;

namespace {

std::vector<std::string> corpusFiles()
{
    std::vector<std::string> names;
    const QDir directory(fixturePath(QStringLiteral("corpus")));
    for (const QString& name :
        directory.entryList({ QStringLiteral("*.xls"), QStringLiteral("*.xlsx") }, QDir::Files, QDir::Name))
        names.push_back(name.toStdString());
    return names;
}

Variant expectedCell(const QJsonValue& cell)
{
    if (cell.isNull())
        return Variant::null();
    const QJsonArray pair = cell.toArray();
    const QString kind = pair.at(0).toString();
    if (kind == u"n")
        return Variant::fromDouble(pair.at(1).toDouble());
    if (kind == u"s")
        return Variant::fromString(pair.at(1).toString());
    QDateTime date = QDateTime::fromString(pair.at(1).toString(), Qt::ISODateWithMs);
    date.setTimeSpec(Qt::UTC);
    return Variant::fromDateTime(date);
}

std::string describe(const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Null:
        return "NULL";
    case Variant::Kind::Double:
        return "number " + QString::number(value.toDouble(), 'g', 17).toStdString();
    case Variant::Kind::String: {
        const QString text = value.toString();
        return "text of " + std::to_string(text.size()) + " '" + text.left(40).toStdString() + "'";
    }
    case Variant::Kind::DateTime:
        return "date " + value.toDateTime().toString(Qt::ISODateWithMs).toStdString();
    default:
        return "a value of another kind";
    }
}

bool sameCell(const Variant& actual, const Variant& expected)
{
    // xlrd and openpyxl round times to the microsecond, we to the millisecond.
    if (actual.kind() == Variant::Kind::DateTime && expected.kind() == Variant::Kind::DateTime)
        return std::abs(actual.toDateTime().msecsTo(expected.toDateTime())) <= 1;
    return actual == expected;
}

class WorkbookCorpusTest : public testing::TestWithParam<std::string>
{
};

TEST_P(WorkbookCorpusTest, readsEveryCellAsTheIndependentReaderDoes)
{
    const QString path = fixturePath(QStringLiteral("corpus/") + QString::fromStdString(GetParam()));
    QFile expectedFile(path + QStringLiteral(".expected.json"));
    ASSERT_TRUE(expectedFile.open(QIODevice::ReadOnly)) << "no expected values beside " << GetParam();
    const QJsonObject sheets
        = QJsonDocument::fromJson(expectedFile.readAll()).object().value("sheets").toObject();
    ASSERT_FALSE(sheets.isEmpty());
    for (auto sheet = sheets.begin(); sheet != sheets.end(); ++sheet) {
        SCOPED_TRACE("sheet " + sheet.key().toStdString());
        const QJsonArray expectedRows = sheet.value().toArray();
        const WorkbookTable table = readWorkbookSheet(path, sheet.key(), false);
        ASSERT_EQ(table.rows.size(), expectedRows.size());
        int mismatches = 0;
        for (qsizetype r = 0; r < expectedRows.size(); ++r) {
            const QJsonArray cells = expectedRows.at(r).toArray();
            ASSERT_EQ(table.rows[r].size(), cells.size()) << "row " << r + 1;
            for (qsizetype c = 0; c < cells.size(); ++c) {
                const Variant expected = expectedCell(cells.at(c));
                if (!sameCell(table.rows[r][c], expected) && ++mismatches <= 20)
                    ADD_FAILURE() << "row " << r + 1 << " column " << c + 1 << ": read "
                                  << describe(table.rows[r][c]) << ", expected " << describe(expected);
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, WorkbookCorpusTest, testing::ValuesIn(corpusFiles()),
    [](const testing::TestParamInfo<std::string>& info) {
        std::string name = info.param;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        return name;
    });

} // namespace
