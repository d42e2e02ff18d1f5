#include "engine/workbook/CompoundFile.h"
#include "tools/workbook-writer/CompoundFileWriter.h"

#include <gtest/gtest.h>
#include <random>

using glimora::engine::CompoundFile;

namespace {

QByteArray randomBytes(qsizetype size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random());
    return bytes;
}

quint32 read32(const QByteArray& bytes, qsizetype at)
{
    quint32 value;
    std::memcpy(&value, bytes.constData() + at, 4);
    return value;
}

void write32(QByteArray& bytes, qsizetype at, quint32 value)
{
    std::memcpy(bytes.data() + at, &value, 4);
}

TEST(CompoundFileTest, readsSmallStreamsFromTheMiniStreamAndLargeOnesFromTheFat)
{
    const QByteArray small = randomBytes(3000, 1); // below the cut-off: small blocks
    const QByteArray large = randomBytes(70000, 2);
    const QByteArray tiny = randomBytes(1, 3);
    CompoundFileWriter writer;
    writer.addStream(QStringLiteral("Small"), small);
    writer.addStream(QStringLiteral("Workbook"), large);
    writer.addStream(QStringLiteral("Tiny"), tiny);
    writer.addStream(QStringLiteral("Empty"), {});
    const QByteArray bytes = writer.write();
    const CompoundFile file(bytes);
    EXPECT_EQ(file.rootStream(QStringLiteral("small")), small);
    EXPECT_EQ(file.rootStream(QStringLiteral("WORKBOOK")), large);
    EXPECT_EQ(file.rootStream(QStringLiteral("Tiny")), tiny);
    EXPECT_EQ(file.rootStream(QStringLiteral("Empty")), QByteArray());
    EXPECT_FALSE(file.rootStream(QStringLiteral("Book")).has_value());
}

TEST(CompoundFileTest, followsTheSectorTableIntoDifatSectors)
{
    // More than 109 table sectors: the header's list is continued in DIFAT sectors.
    const QByteArray stream = randomBytes(9 * 1024 * 1024, 4);
    CompoundFileWriter writer;
    writer.addStream(QStringLiteral("Workbook"), stream);
    const QByteArray bytes = writer.write();
    ASSERT_GT(read32(bytes, 0x48), 0u) << "the file should need DIFAT sectors";
    EXPECT_EQ(CompoundFile(bytes).rootStream(QStringLiteral("Workbook")), stream);
}

TEST(CompoundFileTest, damagedStructuresAreRefusedNotFollowed)
{
    CompoundFileWriter writer;
    writer.addStream(QStringLiteral("Workbook"), randomBytes(20000, 5));
    writer.addStream(QStringLiteral("Small"), randomBytes(1000, 6));
    const QByteArray good = writer.write();
    auto refused = [](const QByteArray& bytes, const char* stream) {
        try {
            CompoundFile(bytes).rootStream(QString::fromLatin1(stream));
        } catch (const CompoundFile::Damaged&) {
            return true;
        }
        return false;
    };
    // The stream's chain loops back on itself.
    QByteArray looped = good;
    const quint32 fatSector = read32(good, 0x4c);
    write32(looped, 512 + qsizetype(fatSector) * 512 + 4 * 5, 0);
    EXPECT_TRUE(refused(looped, "Workbook"));

    // A chain that leads past the end of the file.
    QByteArray beyond = good;
    write32(beyond, 512 + qsizetype(fatSector) * 512 + 4 * 3, 100000);
    EXPECT_TRUE(refused(beyond, "Workbook"));

    // A stream that claims to be larger than the file.
    QByteArray huge = good;
    const quint32 directorySector = read32(good, 0x30);
    write32(huge, 512 + qsizetype(directorySector) * 512 + 128 + 120, 0x7fffffff);
    EXPECT_TRUE(refused(huge, "Workbook"));

    // Directory siblings that point at each other.
    QByteArray cycle = good;
    write32(cycle, 512 + qsizetype(directorySector) * 512 + 2 * 128 + 68, 1);
    EXPECT_TRUE(refused(cycle, "Absent"));

    // A small stream whose small-block chain runs off the small-block stream.
    QByteArray offMini = good;
    write32(offMini, 512 + qsizetype(directorySector) * 512 + 2 * 128 + 116, 5000);
    EXPECT_TRUE(refused(offMini, "Small"));

    EXPECT_TRUE(refused(good.left(good.size() / 2), "Workbook"));
    EXPECT_TRUE(refused(good.left(511), "Workbook"));
    QByteArray badShift = good;
    badShift[0x1e] = 30;
    EXPECT_TRUE(refused(badShift, "Workbook"));
}

} // namespace
