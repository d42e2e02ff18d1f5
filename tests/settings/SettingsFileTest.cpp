#include "settings/SettingsFile.h"
#include "settings/IniDocument.h"
#include "settings/Settings.h"
#include "settings/StatusSetting.h"
#include "tests/support/CommaDecimalLocale.h"
#include "tests/support/NamedPipe.h"
#include "tests/support/TempWorkspace.h"

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringEncoder>
#include <sys/stat.h>
#include <unistd.h>

using namespace glimora::settings;
using namespace Qt::Literals::StringLiterals;

namespace {

QString system()
{
    return QStringLiteral("system");
}

class SettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override { setSettingsDirectory(QString()); }
    void TearDown() override { setSettingsDirectory(QString()); }
    TempWorkspace workspace;
};

QByteArray gbk(const QString& text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

} // namespace

TEST_F(SettingsFileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(ReadSetting(system(), "database", "nivo"), "nivo");
    workspace.writeFile("uinfo.ini", "[show]\nf1h=12\n");
    EXPECT_EQ(ReadSetting(system(), "database", "nivo"), "nivo");
    EXPECT_EQ(ReadSetting("show", "f2h", "20"), "20");
    EXPECT_EQ(ReadSetting("show", "f1h", "17"), "12");
}

TEST_F(SettingsFileTest, EmptyValueCountsAsMissing)
{
    workspace.writeFile("uinfo.ini", "[system]\ndatabase=\nsqlserver=   \n");
    EXPECT_EQ(ReadSetting(system(), "database", "nivo"), "nivo");
    EXPECT_EQ(ReadSetting(system(), "sqlserver", "x"), "x");
}

TEST_F(SettingsFileTest, NamesMatchCaseInsensitivelyAndValueIsTextAfterFirstEquals)
{
    workspace.writeFile("uinfo.ini",
        "; comment = not a key\r\n[SYSTEM]\r\n  DataBase  =  shop = 2  \r\n[select]\r\nselect=d1,d2\r\n");
    EXPECT_EQ(ReadSetting(system(), "database", ""), "shop = 2");
    EXPECT_EQ(ReadSetting("Select", "SELECT", ""), "d1,d2");
    EXPECT_EQ(ReadSetting(system(), "; comment", "none"), "none");
}

// As the old platform read its profile files: ASCII blanks around a name or a value are cut,
// wider spaces (U+3000, U+00A0) are text. A user name ending in one comes back whole.
TEST_F(SettingsFileTest, OnlyAsciiBlanksAroundNamesAndValuesAreCut)
{
    workspace.writeFile("uinfo.ini",
        u"[system]\r\nuser1= \t张三\u3000 \r\n\u3000head1=x\r\nower=\u00a0\r\n[\u3000show]\r\nf1h=9\r\n"_s
            .toUtf8());
    EXPECT_EQ(ReadSetting(system(), "user1", ""), u"张三\u3000"_s);
    EXPECT_EQ(ReadSetting(system(), "head1", "none"), "none");
    EXPECT_EQ(ReadSetting(system(), "ower", "none"), u"\u00a0"_s);
    EXPECT_EQ(ReadSetting("show", "f1h", "none"), "none");
    ASSERT_TRUE(WriteSetting(system(), "user2", u"李四\u3000"_s));
    EXPECT_EQ(ReadSetting(system(), "user2", ""), u"李四\u3000"_s);
}

TEST_F(SettingsFileTest, FirstOfRepeatedKeysAndSectionsWins)
{
    workspace.writeFile("uinfo.ini", "[a]\nk=1\nk=2\n[b]\nk=3\n[a]\nk=4\n");
    EXPECT_EQ(ReadSetting("a", "k", ""), "1");
    EXPECT_EQ(ReadSetting("b", "k", ""), "3");
}

TEST_F(SettingsFileTest, LongValuesAreCutTo3999Characters)
{
    const QByteArray longValue(5000, 'x');
    workspace.writeFile("uinfo.ini", "[insert]\ninserttext=" + longValue + "\n");
    const QString value = ReadSetting("insert", "inserttext", "");
    EXPECT_EQ(value.size(), 3999);
}

TEST_F(SettingsFileTest, IntegersFollowTheCLibraryConversion)
{
    workspace.writeFile("uinfo.ini", "[show]\na=12px\nb=abc\nc=-7\nd= +9\ne=99999999999\n");
    EXPECT_EQ(ReadSettingInt("show", "a", "0"), 12);
    EXPECT_EQ(ReadSettingInt("show", "b", "5"), 0);
    EXPECT_EQ(ReadSettingInt("show", "c", "0"), -7);
    EXPECT_EQ(ReadSettingInt("show", "d", "0"), 9);
    EXPECT_EQ(ReadSettingInt("show", "missing", "5"), 5);
    EXPECT_EQ(ReadSettingInt("show", "e", "0"), 2147483647);
}

// strtof's reading in the "C" locale, also where the desktop writes decimals with a comma.
TEST(LeadingFloatTest, ReadsAsTheCLocaleWhateverTheDesktopsLocale)
{
    const CommaDecimalLocale locale;
    ASSERT_TRUE(locale.active()) << locale.problem().toStdString();
    const std::pair<const char*, float> cases[] = { { "1.33", 1.33f }, { " +2.5px", 2.5f }, { "1,33", 1.0f },
        { "-.5", -0.5f }, { "1e3", 1000.0f }, { "0x1.8p1", 3.0f }, { "0x", 0.0f }, { "abc", 0.0f },
        { "", 0.0f }, { "+-1", 0.0f }, { "1e60", std::numeric_limits<float>::infinity() },
        { "-1e400", -std::numeric_limits<float>::infinity() }, { "1e-60", 0.0f }, { "-Inf", -INFINITY } };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(leadingFloat(QString::fromLatin1(text)), value) << text;
    EXPECT_TRUE(std::isnan(leadingFloat("nan")));
}

TEST_F(SettingsFileTest, EveryReadSeesTheFileAsItIsNow)
{
    workspace.writeFile("uinfo.ini", "[system]\ntime=2\n");
    EXPECT_EQ(ReadSetting(system(), "time", ""), "2");
    workspace.writeFile("uinfo.ini", "[system]\ntime=7\n");
    EXPECT_EQ(ReadSetting(system(), "time", ""), "7");
}

TEST_F(SettingsFileTest, AnOutsideReplaceIsSeenEvenWithTheSameSizeAndTimestamp)
{
    const auto backdate = [this] {
        const timespec times[2] = { { 1'000'000'000, 0 }, { 1'000'000'000, 0 } };
        ASSERT_EQ(
            ::utimensat(AT_FDCWD, QFile::encodeName(workspace.filePath("uinfo.ini")).constData(), times, 0),
            0);
    };
    workspace.writeFile("uinfo.ini", "[system]\ntime=2\n");
    backdate();
    EXPECT_EQ(ReadSetting(system(), "time", ""), "2");
    EXPECT_EQ(ReadSetting(system(), "time", ""), "2");
    // An editor's atomic replace: a new inode, then the old timestamp put back.
    workspace.writeFile("uinfo.new", "[system]\ntime=7\n");
    ASSERT_EQ(::rename(QFile::encodeName(workspace.filePath("uinfo.new")).constData(),
                  QFile::encodeName(workspace.filePath("uinfo.ini")).constData()),
        0);
    backdate();
    EXPECT_EQ(ReadSetting(system(), "time", ""), "7");
    WriteSetting(system(), "time", "9");
    EXPECT_EQ(ReadSetting(system(), "time", ""), "9");
    ASSERT_TRUE(QFile::remove(workspace.filePath("uinfo.ini")));
    EXPECT_EQ(ReadSetting(system(), "time", "none"), "none");
}

TEST_F(SettingsFileTest, WriteChangesOnlyItsLineAndKeepsTheRest)
{
    const QByteArray original = "; station settings\r\n[system]\r\nsqlserver=OLD\r\nuser1=ann\r\n\r\n"
                                "[show]\r\n; geometry\r\nf1h=17\r\n";
    workspace.writeFile("uinfo.ini", original);
    WriteSetting(system(), "SQLSERVER", "NEW");
    WriteSetting(system(), "user2", "bob");
    WriteSetting("comfil", "com1", "d3");
    EXPECT_EQ(workspace.readFile("uinfo.ini"),
        QByteArray("; station settings\r\n[system]\r\nSQLSERVER=NEW\r\nuser1=ann\r\nuser2=bob\r\n\r\n"
                   "[show]\r\n; geometry\r\nf1h=17\r\n[comfil]\r\ncom1=d3\r\n"));
}

TEST_F(SettingsFileTest, WriteCreatesTheFile)
{
    WriteSetting(system(), "sqlserver", "HOST");
    EXPECT_EQ(workspace.readFile("uinfo.ini"), QByteArray("[system]\nsqlserver=HOST\n"));
    EXPECT_EQ(ReadSetting(system(), "sqlserver", ""), "HOST");
    // No temporary file is left behind by the atomic replace.
    EXPECT_EQ(QDir(workspace.path()).entryList(QDir::Files), QStringList { "uinfo.ini" });
}

TEST_F(SettingsFileTest, GbkFileIsReadAndWrittenBackInGbk)
{
    const QString company = QString::fromUtf8("人民医院");
    workspace.writeFile(
        "uinfo.ini", gbk(QString::fromUtf8("[system]\r\ntitle=") + company + "\r\nuser1=ann\r\n"));
    EXPECT_EQ(ReadSetting(system(), "title", ""), company);
    WriteSetting(system(), "user1", QString::fromUtf8("张三"));
    EXPECT_EQ(workspace.readFile("uinfo.ini"),
        gbk(QString::fromUtf8("[system]\r\ntitle=人民医院\r\nuser1=张三\r\n")));
}

TEST_F(SettingsFileTest, LinesNotWrittenInAGbkFileStayByteForByte)
{
    // A four-byte GB18030 character, a lone byte that no encoding reads, and the euro sign
    // of the Windows code page (one byte, 0x80) in lines that nobody writes.
    const QByteArray fourByte = QByteArray("[show]\r\nhead1=") + "\x95\x32\x82\x36" + gbk(u"院"_s) + "\r\n";
    const QByteArray stray = QByteArray("head2=") + "\xff" + gbk(u"科"_s) + "\r\n";
    const QByteArray euro = QByteArray("head3=5\x80") + "\r\n";
    const QByteArray original = fourByte + stray + euro + gbk(u"[system]\r\nuser1=张三\r\n"_s);
    workspace.writeFile("uinfo.ini", original);

    EXPECT_EQ(ReadSetting("show", "head1", ""), u"𠀀院"_s);
    WriteSetting(system(), "user1", u"李四"_s);
    EXPECT_EQ(
        workspace.readFile("uinfo.ini"), fourByte + stray + euro + gbk(u"[system]\r\nuser1=李四\r\n"_s));
}

TEST_F(SettingsFileTest, ValuesGbkCannotHoldAreWrittenInGb18030)
{
    workspace.writeFile("uinfo.ini", gbk(u"[system]\r\ntitle=人民医院\r\n"_s));
    const QString value = u"José ☃ 𠀀 医院"_s;
    EXPECT_TRUE(WriteSetting(system(), "user1", value));
    EXPECT_EQ(ReadSetting(system(), "user1", ""), value);
    EXPECT_EQ(ReadSetting(system(), "title", ""), u"人民医院"_s);
    QStringEncoder gb18030("GB18030");
    EXPECT_EQ(workspace.readFile("uinfo.ini"),
        gbk(u"[system]\r\ntitle=人民医院\r\n"_s) + QByteArray(gb18030.encode(u"user1="_s + value)) + "\r\n");

    // A new section and a replaced key in the same file.
    EXPECT_TRUE(WriteSetting("comfil", "com1", u"€ ½"_s));
    EXPECT_TRUE(WriteSetting(system(), "user1", u"王五"_s));
    EXPECT_EQ(ReadSetting("comfil", "com1", ""), u"€ ½"_s);
    EXPECT_EQ(ReadSetting(system(), "user1", ""), u"王五"_s);
    EXPECT_EQ(ReadSetting(system(), "title", ""), u"人民医院"_s);
}

// Read, write a key, read back: every other line reads as before and keeps its bytes, also
// when the written line was the only one that was not UTF-8.
TEST_F(SettingsFileTest, WritingTheOnlyNonUtf8LineChangesNoOtherLine)
{
    const QByteArray head = u"[system]\r\ndatabase=医院\r\n"_s.toUtf8();
    workspace.writeFile(
        "uinfo.ini", head + "user1=ann\xb5\r\n[show]\r\nhead1=" + gbk(u"人民医院"_s) + "\r\n");
    EXPECT_EQ(ReadSetting(system(), "database", ""), u"医院"_s);
    EXPECT_EQ(ReadSetting("show", "head1", ""), u"人民医院"_s);

    EXPECT_TRUE(WriteSetting(system(), "user1", "bob"));
    EXPECT_EQ(workspace.readFile("uinfo.ini"),
        head + "user1=bob\r\n[show]\r\nhead1=" + gbk(u"人民医院"_s) + "\r\n");
    EXPECT_EQ(ReadSetting(system(), "database", ""), u"医院"_s);
    EXPECT_EQ(ReadSetting("show", "head1", ""), u"人民医院"_s);

    EXPECT_TRUE(WriteSetting("show", "head1", "x"));
    EXPECT_EQ(ReadSetting(system(), "database", ""), u"医院"_s);
}

// Short GBK texts can be valid UTF-8 by chance (模 is C4 A3, ģ in UTF-8); they still read as
// GBK, alone in a file or beside UTF-8 lines, and a value written reads back as written.
TEST_F(SettingsFileTest, ShortGbkValuesThatAreValidUtf8ReadAsGbk)
{
    workspace.writeFile(
        "uinfo.ini", "[system]\r\nuser1=" + gbk(u"模"_s) + "\r\nuser2=" + gbk(u"展"_s) + "\r\n");
    EXPECT_EQ(ReadSetting(system(), "user1", ""), u"模"_s);
    EXPECT_EQ(ReadSetting(system(), "user2", ""), u"展"_s);
    EXPECT_TRUE(WriteSetting(system(), "user3", u"王五"_s));
    EXPECT_EQ(workspace.readFile("uinfo.ini"), gbk(u"[system]\r\nuser1=模\r\nuser2=展\r\nuser3=王五\r\n"_s));

    workspace.writeFile("uinfo.ini", u"[system]\nuser1=李四\n"_s.toUtf8());
    for (const QString& value : { u"模"_s, u"ģ"_s, u"Иван"_s, u"José"_s }) {
        EXPECT_TRUE(WriteSetting(system(), "user2", value));
        EXPECT_EQ(ReadSetting(system(), "user2", ""), value);
        EXPECT_EQ(ReadSetting(system(), "user1", ""), u"李四"_s);
    }
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadIsNeverReplaced)
{
    // A read that fails part-way (an I/O error): the kernel refuses reads at offset 0.
    ASSERT_TRUE(QFile::link("/proc/self/mem", workspace.filePath("uinfo.ini")));
    EXPECT_FALSE(WriteSetting(system(), "user1", "ann"));
    EXPECT_EQ(QFileInfo(workspace.filePath("uinfo.ini")).symLinkTarget(), QStringLiteral("/proc/self/mem"));
    QFile::remove(workspace.filePath("uinfo.ini"));

    // A file that cannot be opened (a folder in its place, or no read permission).
    QDir(workspace.path()).mkdir("uinfo.ini");
    EXPECT_FALSE(WriteSetting(system(), "user1", "ann"));
    EXPECT_TRUE(QFileInfo(workspace.filePath("uinfo.ini")).isDir());
    QDir(workspace.path()).rmdir("uinfo.ini");

    const QByteArray original("[system]\nsqlserver=HOST\nuser1=bob\n");
    workspace.writeFile("uinfo.ini", original);
    QFile::setPermissions(workspace.filePath("uinfo.ini"), QFile::WriteOwner);
    if (::geteuid() != 0) { // root reads it anyway
        EXPECT_FALSE(WriteSetting(system(), "user1", "ann"));
        QFile::setPermissions(workspace.filePath("uinfo.ini"), QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(workspace.readFile("uinfo.ini"), original);
    }
    QFile::setPermissions(workspace.filePath("uinfo.ini"), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_TRUE(WriteSetting(system(), "user1", "ann"));
    EXPECT_EQ(ReadSetting(system(), "sqlserver", ""), "HOST");
}

// A pipe in its place would hold the station at every read: it reads as no file and is
// never replaced.
TEST_F(SettingsFileTest, APipeInPlaceOfTheFileIsNeitherWaitedOnNorReplaced)
{
    const NamedPipe pipe(workspace.filePath("uinfo.ini"), NamedPipe::Release::Readers);
    ASSERT_TRUE(pipe.isMade());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(ReadSetting(system(), "database", "nivo"), "nivo");
    EXPECT_FALSE(WriteSetting(system(), "user1", "ann"));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(QFileInfo(workspace.filePath("uinfo.ini")).isFile());
}

TEST_F(SettingsFileTest, Utf8FileStaysUtf8)
{
    workspace.writeFile("uinfo.ini", QString::fromUtf8("[system]\nuser1=李四\n").toUtf8());
    WriteSetting(system(), "user2", QString::fromUtf8("王五"));
    EXPECT_EQ(
        workspace.readFile("uinfo.ini"), QString::fromUtf8("[system]\nuser1=李四\nuser2=王五\n").toUtf8());
}

TEST_F(SettingsFileTest, StartUpReadsTheWorkingDirectoryNotTheExecutableFolder)
{
    workspace.writeFile("uinfo.ini", "[system]\ndatabase=shop\nsqlserver=db1\n");
    Settings settings;
    settings.load();
    EXPECT_EQ(settings.directory, QDir::currentPath());
    EXPECT_EQ(settings.database, "shop");

    // Later changes of the working directory do not move the settings file.
    TempWorkspace elsewhere;
    EXPECT_EQ(ReadSetting(system(), "database", "nivo"), "shop");
    WriteSetting(system(), "user1", "ann");
    EXPECT_TRUE(elsewhere.readFile("uinfo.ini").isEmpty());
}

TEST_F(SettingsFileTest, StartUpDefaultsWithoutAFile)
{
    Settings settings;
    settings.load();
    EXPECT_EQ(settings.database, "nivo");
}

TEST(IniDocumentTest, KeyAppendedBeforeTheBlankLinesThatEndItsSection)
{
    IniDocument document = IniDocument::fromBytes("[a]\nx=1\n\n\n[b]\ny=2");
    document.setValue("a", "z", "3");
    document.setValue("b", "y", "4");
    EXPECT_EQ(document.toBytes(), QByteArray("[a]\nx=1\nz=3\n\n\n[b]\ny=4"));
}

TEST_F(SettingsFileTest, TheHeartbeatIntervalStaysWithinAnHour)
{
    const struct
    {
        const char* value;
        int seconds;
    } cases[] = { { "30", 30 }, { "0", 60 }, { "-5", 60 }, { "soon", 60 }, { "2000000", 3600 },
        { "99999999999", 60 } };
    for (const auto& c : cases) {
        workspace.writeFile("uinfo.ini", QByteArray("[status]\ninterval=") + c.value + "\n");
        EXPECT_EQ(glimora::settings::StatusSetting::intervalSeconds(), c.seconds) << c.value;
    }
}
