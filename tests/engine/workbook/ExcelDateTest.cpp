#include "engine/workbook/ExcelDate.h"

#include <gtest/gtest.h>

using namespace glimora::engine;

namespace {

struct SerialCase
{
    double serial;
    bool date1904;
    const char* expected; // ISO date-time, or "" for none
};

class ExcelDateTest : public testing::TestWithParam<SerialCase>
{
};

TEST_P(ExcelDateTest, convertsSerialDays)
{
    const SerialCase& c = GetParam();
    const QDateTime result = ExcelDate::fromSerial(c.serial, c.date1904);
    if (QByteArray(c.expected).isEmpty())
        EXPECT_FALSE(result.isValid());
    else
        EXPECT_EQ(
            result.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Serials, ExcelDateTest,
    testing::Values(SerialCase { 1, false, "1900-01-01T00:00:00.000" },
        SerialCase { 59, false, "1900-02-28T00:00:00.000" },
        // Excel's phantom 1900-02-29 folds onto the 28th; from March on no correction applies.
        SerialCase { 60, false, "1900-02-28T00:00:00.000" },
        SerialCase { 61, false, "1900-03-01T00:00:00.000" },
        SerialCase { 41274, false, "2012-12-31T00:00:00.000" },
        SerialCase { 45444.604166666664, false, "2024-06-01T14:30:00.000" },
        SerialCase { 0.75, false, "1899-12-30T18:00:00.000" },
        SerialCase { 0, true, "1904-01-01T00:00:00.000" },
        SerialCase { 39812, true, "2012-12-31T00:00:00.000" },
        SerialCase { 2958465.99999999, false, "9999-12-31T23:59:59.999" }, SerialCase { 2958466, false, "" },
        SerialCase { -1, false, "" }, SerialCase { std::numeric_limits<double>::quiet_NaN(), false, "" }));

} // namespace
