#include "settingstable.h"

#include "formatcatalogue.h"
#include "tinifile.h"

#include <stdexcept>
#include <string>

namespace settings {

namespace {

QString Section(const Key& key) {
    return QString::fromLatin1(key.section);
}

QString Name(const Key& key) {
    return QString::fromLatin1(key.name);
}

const ReadDefault& Checked(const Key& key, Reader reader, Type type, bool given) {
    const ReadDefault& d = DefaultFor(key, reader);
    if (d.type != type || (d.given != nullptr) != given)
        throw std::logic_error(std::string("settings: \"") + key.section + "\" \"" + key.name +
                               "\" read with the wrong type or default");
    return d;
}

const char* ReaderName(Reader reader) {
    switch (reader) {
    case Reader::SettingsDialog:
        return "settings dialog";
    case Reader::RecordingStart:
        return "recording start";
    case Reader::HotKeyPage:
        return "hot-key page";
    case Reader::HotKeyHook:
        return "hot-key hook";
    case Reader::StartUp:
        return "start-up";
    case Reader::TagEditor:
        return "tag editor";
    case Reader::TagWriter:
        return "tag writer";
    case Reader::None:
        break;
    }
    return "";
}

QString DefaultText(const ReadDefault& d) {
    if (d.given != nullptr)
        return QString::fromLatin1(d.given);
    switch (d.type) {
    case Type::Integer:
        return QString::number(d.number);
    case Type::Boolean:
        return d.number != 0 ? QStringLiteral("true") : QStringLiteral("false");
    case Type::String:
        return *d.text == '\0' ? QStringLiteral("empty") : '"' + QString::fromUtf8(d.text) + '"';
    case Type::Date:
    case Type::Time:
        break;
    }
    return {};
}

constexpr const Key* kAll[] = {
    &kMp3Bitrate,       &kMp3Channel,    &kMp3Frequency, &kMp3Quality,      &kMp3EnableVbr,
    &kMp3VbrBitrate,    &kMp3VbrQuality, &kWavMode,      &kWavBit,          &kWavChannel,
    &kWavFrequency,     &kWmaFormat,     &kRawFormat,    &kRawFrequency,    &kRawBits,
    &kRawChannel,       &kOggChannel,    &kOggFrequency, &kOggMaxBitrate,   &kOggMinBitrate,
    &kOggEnableQuality, &kOggQuality,    &kOutputName,   &kOutputFormat,    &kOutputDir,
    &kAutorecFormat,    &kAutorecDate,   &kAutorecBegin, &kAutorecEnd,      &kHotRec,
    &kHotPlay,          &kHotPause,      &kHotStop,      &kRecordingDevice, &kInfoTitle,
    &kInfoArtist,       &kInfoAlbum,     &kInfoComment,  &kInfoGenre,
};

} // namespace

std::span<const Key* const> AllKeys() {
    return kAll;
}

const ReadDefault& DefaultFor(const Key& key, Reader reader) {
    for (const ReadDefault& d : key.reads) {
        if (d.reader == reader && reader != Reader::None)
            return d;
    }
    throw std::logic_error(std::string("settings: \"") + key.section + "\" \"" + key.name +
                           "\" has no default for the " + ReaderName(reader));
}

int ReadInteger(const TIniFile& ini, const Key& key, Reader reader) {
    return ini.ReadInteger(Section(key), Name(key),
                           Checked(key, reader, Type::Integer, false).number);
}

bool ReadBool(const TIniFile& ini, const Key& key, Reader reader) {
    return ini.ReadBool(Section(key), Name(key),
                        Checked(key, reader, Type::Boolean, false).number != 0);
}

QString ReadString(const TIniFile& ini, const Key& key, Reader reader) {
    return ini.ReadString(Section(key), Name(key),
                          QString::fromUtf8(Checked(key, reader, Type::String, false).text));
}

int ReadInteger(const TIniFile& ini, const Key& key, Reader reader, int given) {
    Checked(key, reader, Type::Integer, true);
    return ini.ReadInteger(Section(key), Name(key), given);
}

bool ReadBool(const TIniFile& ini, const Key& key, Reader reader, bool given) {
    Checked(key, reader, Type::Boolean, true);
    return ini.ReadBool(Section(key), Name(key), given);
}

QString ReadString(const TIniFile& ini, const Key& key, Reader reader, const QString& given) {
    Checked(key, reader, Type::String, true);
    return ini.ReadString(Section(key), Name(key), given);
}

QDateTime ReadDate(const TIniFile& ini, const Key& key, Reader reader, const QDateTime& given) {
    Checked(key, reader, Type::Date, true);
    return ini.ReadDate(Section(key), Name(key), given);
}

QDateTime ReadTime(const TIniFile& ini, const Key& key, Reader reader, const QDateTime& given) {
    Checked(key, reader, Type::Time, true);
    return ini.ReadTime(Section(key), Name(key), given);
}

QString UnreadableText(const TIniFile& ini, const Key& key) {
    if (key.type != Type::Date && key.type != Type::Time)
        throw std::logic_error(std::string("settings: \"") + key.section + "\" \"" + key.name +
                               "\" is neither a date nor a time");
    const QString text = ini.ReadString(Section(key), Name(key), QString());
    if (text.isEmpty())
        return {};
    const bool reads = key.type == Type::Date ? TIniFile::ParseDate(ini.Locale(), text).isValid()
                                              : TIniFile::ParseTime(ini.Locale(), text).isValid();
    return reads ? QString() : text;
}

void WriteInteger(TIniFile& ini, const Key& key, int value) {
    ini.WriteInteger(Section(key), Name(key), value);
}

void WriteBool(TIniFile& ini, const Key& key, bool value) {
    ini.WriteBool(Section(key), Name(key), value);
}

void WriteString(TIniFile& ini, const Key& key, const QString& value) {
    ini.WriteString(Section(key), Name(key), value);
}

void WriteDate(TIniFile& ini, const Key& key, const QDateTime& value) {
    ini.WriteDate(Section(key), Name(key), value);
}

void WriteTime(TIniFile& ini, const Key& key, const QDateTime& value) {
    ini.WriteTime(Section(key), Name(key), value);
}

QString DescribeReads(const Key& key) {
    QStringList parts;
    for (const ReadDefault& d : key.reads) {
        if (d.reader != Reader::None)
            parts << QString::fromLatin1(ReaderName(d.reader)) + ' ' + DefaultText(d);
    }
    return parts.join(QStringLiteral("; "));
}

RawChoice ReadRawChoice(const TIniFile& ini) {
    const Reader r = Reader::RecordingStart;
    return {catalogue::RawCodec(ReadInteger(ini, kRawFormat, r)),
            catalogue::SampleRate(ReadInteger(ini, kRawFrequency, r)),
            catalogue::Channels(ReadInteger(ini, kRawChannel, r)),
            catalogue::RawBits(ReadInteger(ini, kRawBits, r))};
}

} // namespace settings
