#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <span>

class TIniFile;

// Every key of the settings store, with its type and the default each reader passes. Readers of
// one key do not always agree ("mp3" "vbr quality" shows 9 in the dialog and records with 5), and
// the stored file of earlier versions must keep working, so the table keeps each read site's
// default as it is rather than one per key. The section and key spellings are the stored ones
// (including "arist"); they are written in lower case and matched without regard to case.
//
// A reader reads through the functions below, naming itself; asking for a reader the table does
// not list for that key, or for the wrong type, is a programming error (std::logic_error).
namespace settings {

enum class Type { Integer, Boolean, String, Date, Time };

// The places that read the store.
enum class Reader {
    None,           // marks an unused slot
    SettingsDialog, // loading the dialog's controls
    RecordingStart, // configuring a new recording (also how a RAW file is played back)
    HotKeyPage,     // the dialog's hot-key page putting back a refused choice
    HotKeyHook,     // the key-press watch
    StartUp,        // the main window's start-up
    TagEditor,      // the "ID3 EDIT" window
    TagWriter,      // tags written into a finished recording
};

// One reader's default. Some defaults are known only at the read (the current date and time,
// the device count, the home folder, how the file is named): `given` then describes it, and the
// reader passes the value.
struct ReadDefault {
    Reader reader = Reader::None;
    Type type =
        Type::Integer;     // "info" "genre" is read as an integer by one reader, text by another
    int number = 0;        // integer and boolean (0 or 1) defaults
    const char* text = ""; // string defaults
    const char* given = nullptr;
};

struct Key {
    const char* section;
    const char* name;
    Type type; // as written
    std::array<ReadDefault, 3> reads;
};

// Shorthands for the table below.
constexpr ReadDefault Int(Reader r, int value) {
    return {r, Type::Integer, value, "", nullptr};
}
constexpr ReadDefault Bool(Reader r, bool value) {
    return {r, Type::Boolean, value ? 1 : 0, "", nullptr};
}
constexpr ReadDefault Text(Reader r, const char* value) {
    return {r, Type::String, 0, value, nullptr};
}
constexpr ReadDefault Given(Reader r, Type type, const char* what) {
    return {r, type, 0, "", what};
}
// The dialog and a recording read most format keys with the same default.
constexpr std::array<ReadDefault, 3> Both(int value) {
    return {Int(Reader::SettingsDialog, value), Int(Reader::RecordingStart, value), {}};
}
constexpr std::array<ReadDefault, 3> HotKey(int value) {
    return {Int(Reader::SettingsDialog, value), Int(Reader::HotKeyPage, value),
            Int(Reader::HotKeyHook, value)};
}
constexpr const char* kNow = "the current date and time";
constexpr const char* kHomeRecorder = "\"My Recorder\" in the home folder";

// clang-format off
inline constexpr Key kMp3Bitrate{"mp3", "bitrate", Type::Integer, Both(11)};
inline constexpr Key kMp3Channel{"mp3", "channel", Type::Integer, Both(1)};
inline constexpr Key kMp3Frequency{"mp3", "frequency", Type::Integer, Both(8)};
inline constexpr Key kMp3Quality{"mp3", "quality", Type::Integer, Both(9)};
inline constexpr Key kMp3EnableVbr{"mp3", "enable vbr", Type::Boolean,
    {Bool(Reader::SettingsDialog, false), Bool(Reader::RecordingStart, true)}};
inline constexpr Key kMp3VbrBitrate{"mp3", "vbr bitrate", Type::Integer, Both(11)};
inline constexpr Key kMp3VbrQuality{"mp3", "vbr quality", Type::Integer,
    {Int(Reader::SettingsDialog, 9), Int(Reader::RecordingStart, 5)}};

inline constexpr Key kWavMode{"wav", "mode", Type::Integer, Both(0)};
inline constexpr Key kWavBit{"wav", "bit", Type::Integer, Both(1)};
inline constexpr Key kWavChannel{"wav", "channel", Type::Integer, Both(1)};
inline constexpr Key kWavFrequency{"wav", "frequency", Type::Integer, Both(8)};

inline constexpr Key kWmaFormat{"wma", "format", Type::Integer, Both(9)};

inline constexpr Key kRawFormat{"raw", "format", Type::Integer, Both(0)};
inline constexpr Key kRawFrequency{"raw", "f", Type::Integer, Both(8)};
inline constexpr Key kRawBits{"raw", "b", Type::Integer, Both(5)};
inline constexpr Key kRawChannel{"raw", "c", Type::Integer, Both(1)};

inline constexpr Key kOggChannel{"ogg", "channel", Type::Integer, Both(1)};
inline constexpr Key kOggFrequency{"ogg", "frequency", Type::Integer, Both(8)};
inline constexpr Key kOggMaxBitrate{"ogg", "max bitrate", Type::Integer, Both(11)};
inline constexpr Key kOggMinBitrate{"ogg", "min bitrate", Type::Integer, Both(11)};
inline constexpr Key kOggEnableQuality{"ogg", "enable quality", Type::Boolean,
    {Bool(Reader::SettingsDialog, true),
     Given(Reader::RecordingStart, Type::Boolean, "true when the user picks the file name")}};
inline constexpr Key kOggQuality{"ogg", "quality", Type::Integer, Both(300)};

inline constexpr Key kOutputName{"output", "name", Type::Boolean,
    {Bool(Reader::SettingsDialog, false), Bool(Reader::RecordingStart, false)}};
inline constexpr Key kOutputFormat{"output", "format", Type::Integer, Both(0)};
inline constexpr Key kOutputDir{"output", "dir", Type::String,
    {Given(Reader::SettingsDialog, Type::String, kHomeRecorder),
     Given(Reader::RecordingStart, Type::String, kHomeRecorder)}};

inline constexpr Key kAutorecFormat{"autorec", "format", Type::Integer, {Int(Reader::SettingsDialog, 0)}};
inline constexpr Key kAutorecDate{"autorec", "date", Type::Date,
    {Given(Reader::SettingsDialog, Type::Date, kNow)}};
inline constexpr Key kAutorecBegin{"autorec", "begintime", Type::Time,
    {Given(Reader::SettingsDialog, Type::Time, kNow)}};
inline constexpr Key kAutorecEnd{"autorec", "endtime", Type::Time,
    {Given(Reader::SettingsDialog, Type::Time, kNow)}};

inline constexpr Key kHotRec{"hot", "rec", Type::Integer, HotKey(6)};
inline constexpr Key kHotPlay{"hot", "play", Type::Integer, HotKey(7)};
inline constexpr Key kHotPause{"hot", "pause", Type::Integer, HotKey(8)};
inline constexpr Key kHotStop{"hot", "stop", Type::Integer, HotKey(9)};

inline constexpr Key kRecordingDevice{"rd", "rd", Type::Integer,
    {Given(Reader::StartUp, Type::Integer, "the highest device index")}};

inline constexpr Key kInfoTitle{"info", "title", Type::String,
    {Text(Reader::TagEditor, "unknown title"), Text(Reader::TagWriter, "unknown title")}};
inline constexpr Key kInfoArtist{"info", "arist", Type::String,
    {Text(Reader::TagEditor, "unknown artist"), Text(Reader::TagWriter, "unknown artist")}};
inline constexpr Key kInfoAlbum{"info", "album", Type::String,
    {Text(Reader::TagEditor, "unknown album"), Text(Reader::TagWriter, "unknown album")}};
inline constexpr Key kInfoComment{"info", "comment", Type::String,
    {Text(Reader::TagEditor, ""), Text(Reader::TagWriter, "")}};
// The editor keeps the position in its genre list (12 is "Other"); the tag writer reads the same
// value as text and turns a position into the genre's name.
inline constexpr Key kInfoGenre{"info", "genre", Type::Integer,
    {Int(Reader::TagEditor, 12), Text(Reader::TagWriter, "Other")}};
// clang-format on

// Every key, in the order of the file's sections.
std::span<const Key* const> AllKeys();

// The default `reader` passes for `key`; throws std::logic_error when the table lists no such
// reader for the key.
const ReadDefault& DefaultFor(const Key& key, Reader reader);

// Reads with the table's default for `reader`.
int ReadInteger(const TIniFile& ini, const Key& key, Reader reader);
bool ReadBool(const TIniFile& ini, const Key& key, Reader reader);
QString ReadString(const TIniFile& ini, const Key& key, Reader reader);
// Reads whose default is given at the read (the table describes it).
int ReadInteger(const TIniFile& ini, const Key& key, Reader reader, int given);
bool ReadBool(const TIniFile& ini, const Key& key, Reader reader, bool given);
QString ReadString(const TIniFile& ini, const Key& key, Reader reader, const QString& given);
QDateTime ReadDate(const TIniFile& ini, const Key& key, Reader reader, const QDateTime& given);
QDateTime ReadTime(const TIniFile& ini, const Key& key, Reader reader, const QDateTime& given);
// A date or time key's stored text when it is there but reads back as neither the locale's form
// nor ISO 8601; an empty string when it reads, or nothing is stored. Throws std::logic_error for
// a key of another type.
QString UnreadableText(const TIniFile& ini, const Key& key);

// Writes in the key's stored spelling; a refused write raises SettingsWriteError.
void WriteInteger(TIniFile& ini, const Key& key, int value);
void WriteBool(TIniFile& ini, const Key& key, bool value);
void WriteString(TIniFile& ini, const Key& key, const QString& value);
void WriteDate(TIniFile& ini, const Key& key, const QDateTime& value);
void WriteTime(TIniFile& ini, const Key& key, const QDateTime& value);

// The read sites of a key as one line: "settings dialog 9; recording start 5".
QString DescribeReads(const Key& key);

// The stored RAW choice as component values, read with a recording's defaults. A RAW file has no
// header, so playing one back reads the same choice the recording was made with.
struct RawChoice {
    int codec;    // 1 PCM ... 6 MS ADPCM
    int rate;     // Hz
    int channels; // 1 or 2
    int bits;     // bits per sample
};
RawChoice ReadRawChoice(const TIniFile& ini);

} // namespace settings
