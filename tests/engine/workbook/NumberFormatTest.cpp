#include "engine/workbook/NumberFormat.h"

#include <gtest/gtest.h>

using namespace glimora::engine;

TEST(NumberFormat, builtInDatesIncludeTheEastAsianOnes)
{
    for (int id : { 14, 17, 22, 27, 31, 36, 45, 47, 50, 58 })
        EXPECT_TRUE(NumberFormat::isBuiltInDate(id)) << id;
    for (int id : { 0, 1, 2, 10, 11, 23, 37, 44, 48, 49, 59, 164 })
        EXPECT_FALSE(NumberFormat::isBuiltInDate(id)) << id;
}

TEST(NumberFormat, customCodesAreDatesOnlyForDatePartsOutsideLiterals)
{
    for (const char* code : { "yyyy-mm-dd", "yyyy\"年\"m\"月\"d\"日\"", "[$-804]yyyy/m/d", "h:mm AM/PM",
             "[h]:mm:ss", "[Red]dd/mm/yy;@" })
        EXPECT_TRUE(NumberFormat::isDateCode(QString::fromUtf8(code))) << code;
    for (const char* code : { "General", "0.00", "#,##0.00_);[Red](#,##0.00)", "\"days\" 0", "0\\d",
             "[Red]0.00", "@", "0.00E+00", "_-* #,##0_-;-* #,##0_-", "0;\"yes\"" })
        EXPECT_FALSE(NumberFormat::isDateCode(QString::fromUtf8(code))) << code;
}
