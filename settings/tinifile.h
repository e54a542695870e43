#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <stdexcept>

// A write the file system refused. The message is the one the user sees:
// "Unable to write to tarnoRecord.ini".
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const std::string& message) : std::runtime_error(message) {}
};

// The settings store: an INI file read and written key by key, with a default at every read.
//
// - Every read reads the file; every write reaches the file at once. There is no cache.
// - Section and key names are matched without regard to case and written in lower case.
// - A missing file, section or key, or a value that does not convert, yields the caller's default.
// - Strings are cut at 2047 characters when read. Line breaks and backslashes inside a value are
//   written as \n, \r and \\, so a multi-line value reads back exactly and never adds lines.
// - A write replaces the file through a temporary file in the same folder and a rename, so a
//   crash or a full disk keeps the old file whole. Other lines, comments and key order stay.
// - A refused write raises SettingsWriteError naming the file as opened ("tarnoRecord.ini").
// - Dates use the locale's short date format, times its long time format without the time-zone
//   name (so they convert back); two-digit years are read into the century around today. Reads
//   also take ISO 8601 ("yyyy-MM-dd", "HH:mm:ss" or "HH:mm"), so a file carried over from
//   another locale in that form still reads; writes stay in the locale's form.
class TIniFile {
public:
    // `path` is the full path of the file; errors name it by its file name alone.
    explicit TIniFile(QString path, QLocale locale = QLocale::system());

    const QString& FileName() const { return path_; }
    void SetLocale(const QLocale& locale) { locale_ = locale; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    void WriteString(const QString& section, const QString& key, const QString& value);

    int ReadInteger(const QString& section, const QString& key, int def) const;
    void WriteInteger(const QString& section, const QString& key, int value);

    bool ReadBool(const QString& section, const QString& key, bool def) const;
    void WriteBool(const QString& section, const QString& key, bool value);

    // Only the date part of `def`'s result is read; the time part comes from `def`.
    QDateTime ReadDate(const QString& section, const QString& key, const QDateTime& def) const;
    void WriteDate(const QString& section, const QString& key, const QDateTime& value);

    // Only the time part is read; the date part comes from `def`.
    QDateTime ReadTime(const QString& section, const QString& key, const QDateTime& def) const;
    void WriteTime(const QString& section, const QString& key, const QDateTime& value);

    // The text conversions the store uses, also used by the schedule to compare times.
    static QString DateText(const QLocale& locale, const QDate& date);
    static QString TimeText(const QLocale& locale, const QTime& time);
    static QString LongTimeFormat(const QLocale& locale);
    // The reads' conversions: the locale's form first, then ISO 8601; an invalid result when
    // neither reads.
    static QDate ParseDate(const QLocale& locale, const QString& text);
    static QTime ParseTime(const QLocale& locale, const QString& text);
    const QLocale& Locale() const { return locale_; }

private:
    QString path_;
    QLocale locale_;
};

// Parsing helpers, exposed for the tests and the fuzz target.
namespace ini {
// The raw value of section/key in `content`, decoded and cut at 2047 characters; a null QString
// when absent.
QString Lookup(const QString& content, const QString& section, const QString& key);
// `content` with section/key set to `value` (encoded), keeping every other line.
QString Update(const QString& content, const QString& section, const QString& key,
               const QString& value);
// Integer conversion of the profile functions: decimal with optional sign, or hex after "0x",
// "0X" or "$"; anything else (including trailing letters) fails.
bool ParseInteger(const QString& text, int& out);
QString Encode(const QString& value);
QString Decode(const QString& raw);
} // namespace ini
