#include "settingslocation.h"
#include "tinifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class IniTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/tarnoRecord.ini"; }
};

} // namespace

TEST_F(IniTest, ValueConversions) {
    WriteAll(path(), "[MP3]\nEnable VBR = 2\nword=yes\nhex=0x10\nHEX2=0X1f\ndollar=$ff\n"
                     "trail=12abc\nneg=-7\nempty=\nbig=99999999999\nspaced=  42  \n"
                     "allbits=0xFFFFFFFF\n");
    TIniFile ini(path());
    EXPECT_TRUE(ini.ReadBool("mp3", "enable vbr", false)) << "any non-zero number is true";
    EXPECT_FALSE(ini.ReadBool("mp3", "word", false)) << "a word gives the default";
    EXPECT_TRUE(ini.ReadBool("mp3", "word", true));
    EXPECT_EQ(ini.ReadInteger("mp3", "hex", 0), 16);
    EXPECT_EQ(ini.ReadInteger("mp3", "hex2", 0), 31);
    EXPECT_EQ(ini.ReadInteger("mp3", "dollar", 0), 255);
    EXPECT_EQ(ini.ReadInteger("mp3", "trail", 5), 5) << "digits followed by letters";
    EXPECT_EQ(ini.ReadInteger("mp3", "neg", 0), -7);
    EXPECT_EQ(ini.ReadInteger("mp3", "empty", 3), 3);
    EXPECT_EQ(ini.ReadInteger("mp3", "big", 3), 3) << "out of 32-bit range";
    EXPECT_EQ(ini.ReadInteger("mp3", "spaced", 0), 42);
    EXPECT_EQ(ini.ReadInteger("mp3", "allbits", 0), -1);
    EXPECT_EQ(ini.ReadInteger("Mp3", "HEX", 0), 16) << "names match without case";
}

TEST_F(IniTest, StringsAreCutAt2047Characters) {
    TIniFile ini(path());
    const QString longText(5000, u'x');
    ini.WriteString("info", "title", longText);
    EXPECT_EQ(ini.ReadString("info", "title", "").size(), 2047);
    EXPECT_EQ(ini.ReadString("info", "title", ""), longText.left(2047));
}

TEST_F(IniTest, LineBreaksRoundTripWithoutAddingKeys) {
    TIniFile ini(path());
    const QString comment = "a\n[output]\ndir=/etc";
    ini.WriteString("info", "comment", comment);
    ini.WriteString("info", "title", "back\\slash\\n and \r\n crlf");
    EXPECT_EQ(ini.ReadString("info", "comment", ""), comment);
    EXPECT_EQ(ini.ReadString("info", "title", ""), "back\\slash\\n and \r\n crlf");
    EXPECT_EQ(ini.ReadString("output", "dir", "none"), "none") << "no section or key was added";
    EXPECT_EQ(ReadAll(path()).count(u'\n'), 3) << ReadAll(path()).toStdString();
}

TEST_F(IniTest, RewritingKeepsOtherLinesCommentsAndOrder) {
    WriteAll(path(), "; my notes\n[mp3]\nbitrate=3\n; keep me\nchannel=0\n\n[wav]\nmode=1\n");
    TIniFile ini(path());
    ini.WriteInteger("MP3", "Bitrate", 12);
    ini.WriteInteger("mp3", "quality", 4);
    ini.WriteString("output", "dir", "/music");
    EXPECT_EQ(ReadAll(path()), "; my notes\n[mp3]\nbitrate=12\n; keep me\nchannel=0\nquality=4\n\n"
                               "[wav]\nmode=1\n[output]\ndir=/music\n");
    EXPECT_EQ(ini.ReadInteger("wav", "mode", 0), 1);
}

TEST_F(IniTest, WriteToFolderThatIsAPlainFileRaisesAndKeepsNothingTorn) {
    // Tests run as root, so permissions do not stop a write; a plain file in place of the
    // folder does.
    const QString blocker = dir.path() + "/config";
    WriteAll(blocker, "not a folder");
    TIniFile ini(blocker + "/tarnoRecord.ini");
    try {
        ini.WriteInteger("mp3", "bitrate", 1);
        FAIL() << "the write should have been refused";
    } catch (const SettingsWriteError& e) {
        EXPECT_STREQ(e.what(), "Unable to write to tarnoRecord.ini");
    }
    EXPECT_EQ(ReadAll(blocker), "not a folder");
}

TEST_F(IniTest, WriteCreatesMissingConfigFolderAndLeavesNoTemporaryFiles) {
    const QString nested = dir.path() + "/a/b/tarnoRecord.ini";
    TIniFile ini(nested);
    ini.WriteBool("output", "name", true);
    EXPECT_TRUE(ini.ReadBool("output", "name", false));
    EXPECT_EQ(QDir(dir.path() + "/a/b").entryList(QDir::Files), QStringList{"tarnoRecord.ini"});
}

TEST_F(IniTest, DatesAndTimesConvertBackUnderTheSameLocale) {
    for (const char* name : {"en_US", "de_DE", "fr_FR", "ja_JP", "C"}) {
        TIniFile ini(path(), QLocale(name));
        const QDateTime when(QDate(2026, 12, 8), QTime(23, 41, 5));
        ini.WriteDate("autorec", "date", when);
        ini.WriteTime("autorec", "begintime", when);
        const QDateTime fallback(QDate(2000, 1, 1), QTime(1, 2, 3));
        EXPECT_EQ(ini.ReadDate("autorec", "date", fallback).date(), when.date()) << name;
        EXPECT_EQ(ini.ReadTime("autorec", "begintime", fallback).time(), when.time()) << name;
    }
}

TEST_F(IniTest, DateWrittenUnderOneLocaleAndUnreadableUnderAnotherGivesDefault) {
    TIniFile writer(path(), QLocale("de_DE"));
    writer.WriteDate("autorec", "date", QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
    TIniFile reader(path(), QLocale("en_US"));
    const QDateTime fallback = QDateTime::currentDateTime();
    EXPECT_EQ(reader.ReadDate("autorec", "date", fallback), fallback);
    WriteAll(path(), "[autorec]\nbegintime=quarter past\n");
    EXPECT_EQ(reader.ReadTime("autorec", "begintime", fallback), fallback);
}

// A file carried over from another locale in ISO form still reads; texts in another locale's own
// form, or hand-edited, give the default. Writing keeps the locale's form.
TEST_F(IniTest, DatesAndTimesAlsoReadInIsoForm) {
    const QDateTime fallback(QDate(2000, 1, 1), QTime(1, 2, 3));
    for (const char* name : {"en_US", "de_DE", "ja_JP", "C"}) {
        TIniFile ini(path(), QLocale(name));
        WriteAll(path(), "[autorec]\ndate=2027-01-15\nbegintime=10:24:55\nendtime=06:05\n");
        EXPECT_EQ(ini.ReadDate("autorec", "date", fallback).date(), QDate(2027, 1, 15)) << name;
        EXPECT_EQ(ini.ReadTime("autorec", "begintime", fallback).time(), QTime(10, 24, 55)) << name;
        EXPECT_EQ(ini.ReadTime("autorec", "endtime", fallback).time(), QTime(6, 5)) << name;
    }
    TIniFile c(path(), QLocale::c());
    WriteAll(path(), "[autorec]\ndate=15.01.27\nbegintime=10\xe6\x99\x82"
                     "24\xe5\x88\x86"
                     "55\xe7\xa7\x92\nendtime=25:00:00\n");
    EXPECT_EQ(c.ReadDate("autorec", "date", fallback), fallback) << "de_DE's short date";
    EXPECT_EQ(c.ReadTime("autorec", "begintime", fallback), fallback) << "ja_JP's long time";
    EXPECT_EQ(c.ReadTime("autorec", "endtime", fallback), fallback);

    TIniFile de(path(), QLocale("de_DE"));
    de.WriteDate("autorec", "date", QDateTime(QDate(2027, 1, 15), QTime(0, 0)));
    EXPECT_EQ(de.ReadString("autorec", "date", {}), "15.01.27");
}

TEST(SettingsLocation, FollowsXdgConfigHomeThenHome) {
    QProcessEnvironment env;
    env.insert("HOME", "/home/ann");
    EXPECT_EQ(location::SettingsPath(env), "/home/ann/.config/tarnoRecord.ini");
    env.insert("XDG_CONFIG_HOME", "/cfg/");
    EXPECT_EQ(location::SettingsPath(env), "/cfg/tarnoRecord.ini");
    env.insert("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(location::SettingsPath(env), "/home/ann/.config/tarnoRecord.ini");
    EXPECT_EQ(location::DefaultOutputDir(env), "/home/ann/My Recorder");
}
