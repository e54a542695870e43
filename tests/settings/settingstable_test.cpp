#include "settingstable.h"
#include "tinifile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>
#include <stdexcept>
#include <string>

using settings::Reader;
using settings::Type;

namespace {

struct Row {
    const char* section;
    const char* key;
    Type type;
    const char* reads;
};

// The store's keys as the program has always written and read them: a changed spelling loses
// what users stored, a changed default changes what a new user sees or records.
constexpr Row kExpected[] = {
    {"mp3", "bitrate", Type::Integer, "settings dialog 11; recording start 11"},
    {"mp3", "channel", Type::Integer, "settings dialog 1; recording start 1"},
    {"mp3", "frequency", Type::Integer, "settings dialog 8; recording start 8"},
    {"mp3", "quality", Type::Integer, "settings dialog 9; recording start 9"},
    {"mp3", "enable vbr", Type::Boolean, "settings dialog false; recording start true"},
    {"mp3", "vbr bitrate", Type::Integer, "settings dialog 11; recording start 11"},
    {"mp3", "vbr quality", Type::Integer, "settings dialog 9; recording start 5"},
    {"wav", "mode", Type::Integer, "settings dialog 0; recording start 0"},
    {"wav", "bit", Type::Integer, "settings dialog 1; recording start 1"},
    {"wav", "channel", Type::Integer, "settings dialog 1; recording start 1"},
    {"wav", "frequency", Type::Integer, "settings dialog 8; recording start 8"},
    {"wma", "format", Type::Integer, "settings dialog 9; recording start 9"},
    {"raw", "format", Type::Integer, "settings dialog 0; recording start 0"},
    {"raw", "f", Type::Integer, "settings dialog 8; recording start 8"},
    {"raw", "b", Type::Integer, "settings dialog 5; recording start 5"},
    {"raw", "c", Type::Integer, "settings dialog 1; recording start 1"},
    {"ogg", "channel", Type::Integer, "settings dialog 1; recording start 1"},
    {"ogg", "frequency", Type::Integer, "settings dialog 8; recording start 8"},
    {"ogg", "max bitrate", Type::Integer, "settings dialog 11; recording start 11"},
    {"ogg", "min bitrate", Type::Integer, "settings dialog 11; recording start 11"},
    {"ogg", "enable quality", Type::Boolean,
     "settings dialog true; recording start true when the user picks the file name"},
    {"ogg", "quality", Type::Integer, "settings dialog 300; recording start 300"},
    {"output", "name", Type::Boolean, "settings dialog false; recording start false"},
    {"output", "format", Type::Integer, "settings dialog 0; recording start 0"},
    {"output", "dir", Type::String,
     "settings dialog \"My Recorder\" in the home folder; "
     "recording start \"My Recorder\" in the home folder"},
    {"autorec", "format", Type::Integer, "settings dialog 0"},
    {"autorec", "date", Type::Date, "settings dialog the current date and time"},
    {"autorec", "begintime", Type::Time, "settings dialog the current date and time"},
    {"autorec", "endtime", Type::Time, "settings dialog the current date and time"},
    {"hot", "rec", Type::Integer, "settings dialog 6; hot-key page 6; hot-key hook 6"},
    {"hot", "play", Type::Integer, "settings dialog 7; hot-key page 7; hot-key hook 7"},
    {"hot", "pause", Type::Integer, "settings dialog 8; hot-key page 8; hot-key hook 8"},
    {"hot", "stop", Type::Integer, "settings dialog 9; hot-key page 9; hot-key hook 9"},
    {"rd", "rd", Type::Integer, "start-up the highest device index"},
    {"info", "title", Type::String, "tag editor \"unknown title\"; tag writer \"unknown title\""},
    {"info", "arist", Type::String, "tag editor \"unknown artist\"; tag writer \"unknown artist\""},
    {"info", "album", Type::String, "tag editor \"unknown album\"; tag writer \"unknown album\""},
    {"info", "comment", Type::String, "tag editor empty; tag writer empty"},
    {"info", "genre", Type::Integer, "tag editor 12; tag writer \"Other\""},
};

std::string Id(const settings::Key& k) {
    return std::string(k.section) + "/" + k.name;
}

class SettingsTable : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/tarnoRecord.ini"; }
};

} // namespace

// Walks the table every reader reads through: each key once, spelled, typed and defaulted per
// reader as stored files and users expect.
TEST_F(SettingsTable, EveryKeyWithEachReadersDefault) {
    std::set<std::string> seen;
    for (const settings::Key* k : settings::AllKeys()) {
        EXPECT_TRUE(seen.insert(Id(*k)).second) << Id(*k) << " listed twice";
        const Row* row = nullptr;
        for (const Row& r : kExpected) {
            if (Id(*k) == std::string(r.section) + "/" + r.key)
                row = &r;
        }
        ASSERT_NE(row, nullptr) << Id(*k) << " is not a key of the store";
        EXPECT_EQ(k->type, row->type) << Id(*k);
        EXPECT_EQ(settings::DescribeReads(*k).toStdString(), row->reads) << Id(*k);
    }
    EXPECT_EQ(seen.size(), std::size(kExpected)) << "a key of the store is missing";
}

// From a missing file every read yields its reader's default (or the one it gives), and no read
// creates the file.
TEST_F(SettingsTable, MissingFileGivesEachReadersDefault) {
    TIniFile ini(path());
    const QDateTime now = QDateTime::currentDateTime();
    for (const settings::Key* k : settings::AllKeys()) {
        for (const settings::ReadDefault& d : k->reads) {
            if (d.reader == Reader::None)
                continue;
            const bool given = d.given != nullptr;
            switch (d.type) {
            case Type::Integer:
                EXPECT_EQ(given ? settings::ReadInteger(ini, *k, d.reader, -3)
                                : settings::ReadInteger(ini, *k, d.reader),
                          given ? -3 : d.number)
                    << Id(*k);
                break;
            case Type::Boolean:
                EXPECT_EQ(given ? settings::ReadBool(ini, *k, d.reader, true)
                                : settings::ReadBool(ini, *k, d.reader),
                          given || d.number != 0)
                    << Id(*k);
                break;
            case Type::String:
                EXPECT_EQ(given ? settings::ReadString(ini, *k, d.reader, "/given")
                                : settings::ReadString(ini, *k, d.reader),
                          given ? QString("/given") : QString::fromUtf8(d.text))
                    << Id(*k);
                break;
            case Type::Date:
                EXPECT_EQ(settings::ReadDate(ini, *k, d.reader, now), now) << Id(*k);
                break;
            case Type::Time:
                EXPECT_EQ(settings::ReadTime(ini, *k, d.reader, now), now) << Id(*k);
                break;
            }
        }
    }
    EXPECT_FALSE(QFile::exists(path())) << "reads never create the file";
}

// A reader the table does not list, the wrong type, or a default passed where the table has one
// (or none where it expects one) is a mistake in the program, not a missing value.
TEST_F(SettingsTable, ReadsTheTableDoesNotListAreRefused) {
    TIniFile ini(path());
    EXPECT_THROW(settings::ReadInteger(ini, settings::kMp3VbrQuality, Reader::TagWriter),
                 std::logic_error);
    EXPECT_THROW(settings::ReadBool(ini, settings::kMp3Bitrate, Reader::SettingsDialog),
                 std::logic_error);
    EXPECT_THROW(settings::ReadInteger(ini, settings::kRecordingDevice, Reader::StartUp),
                 std::logic_error);
    EXPECT_THROW(settings::ReadInteger(ini, settings::kMp3Bitrate, Reader::RecordingStart, 3),
                 std::logic_error);
    // The genre is an integer to the editor and text to the tag writer.
    EXPECT_EQ(settings::ReadInteger(ini, settings::kInfoGenre, Reader::TagEditor), 12);
    EXPECT_EQ(settings::ReadString(ini, settings::kInfoGenre, Reader::TagWriter), "Other");
    EXPECT_THROW(settings::ReadString(ini, settings::kInfoGenre, Reader::TagEditor),
                 std::logic_error);
}

// The stored text of a date or time that is there but does not read back, for the schedule page.
TEST_F(SettingsTable, UnreadableTextNamesOnlyWhatIsStoredAndDoesNotRead) {
    TIniFile ini(path(), QLocale::c());
    EXPECT_EQ(settings::UnreadableText(ini, settings::kAutorecBegin), "") << "nothing stored";
    ini.WriteString("autorec", "begintime", "quarter past");
    ini.WriteString("autorec", "endtime", "08:30:00");
    ini.WriteString("autorec", "date", "15.01.27");
    EXPECT_EQ(settings::UnreadableText(ini, settings::kAutorecBegin), "quarter past");
    EXPECT_EQ(settings::UnreadableText(ini, settings::kAutorecEnd), "");
    EXPECT_EQ(settings::UnreadableText(ini, settings::kAutorecDate), "15.01.27");
    ini.SetLocale(QLocale("de_DE"));
    EXPECT_EQ(settings::UnreadableText(ini, settings::kAutorecDate), "");
    EXPECT_THROW(settings::UnreadableText(ini, settings::kMp3Bitrate), std::logic_error);
}

// What a RAW file is recorded and played back with: the component values of the stored choice.
TEST_F(SettingsTable, RawChoiceReadsTheStoredListPositions) {
    TIniFile ini(path());
    settings::RawChoice c = settings::ReadRawChoice(ini);
    EXPECT_EQ(c.codec, 1) << "PCM";
    EXPECT_EQ(c.rate, 44100);
    EXPECT_EQ(c.channels, 2);
    EXPECT_EQ(c.bits, 16);

    settings::WriteInteger(ini, settings::kRawFormat, 3);
    settings::WriteInteger(ini, settings::kRawFrequency, 1);
    settings::WriteInteger(ini, settings::kRawChannel, 0);
    settings::WriteInteger(ini, settings::kRawBits, 4);
    c = settings::ReadRawChoice(ini);
    EXPECT_EQ(c.codec, 4) << "GSM 6.10";
    EXPECT_EQ(c.rate, 8000);
    EXPECT_EQ(c.channels, 1);
    EXPECT_EQ(c.bits, 8);
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[raw]\nformat=3\nf=1\nc=0\nb=4\n"))
        << "the stored spellings and value formats";
}
