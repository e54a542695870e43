#include "tinifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

constexpr int kMaxValueChars = 2047;

QString ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// "[name]" (surrounding blanks allowed) gives name; anything else gives a null string.
QString SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.front() == u'[') {
        const auto close = t.indexOf(u']');
        if (close > 0)
            return t.mid(1, close - 1).trimmed();
    }
    return {};
}

bool IsComment(const QString& trimmed) {
    return trimmed.startsWith(u';') || trimmed.startsWith(u'#');
}

// Splits "key = value" into its trimmed parts; false for lines that are no key line.
bool SplitKeyLine(const QString& line, QString& key, QString& value) {
    const QString t = line.trimmed();
    if (t.isEmpty() || IsComment(t) || t.front() == u'[')
        return false;
    const auto eq = t.indexOf(u'=');
    if (eq <= 0)
        return false;
    key = t.left(eq).trimmed();
    value = t.mid(eq + 1).trimmed();
    return !key.isEmpty();
}

QString UnquoteValue(const QString& v) {
    // The profile functions drop one pair of matching quotes around a value.
    if (v.size() >= 2 &&
        ((v.front() == u'"' && v.back() == u'"') || (v.front() == u'\'' && v.back() == u'\'')))
        return v.mid(1, v.size() - 2);
    return v;
}

QString StripTimeZone(QString format) {
    // Time-zone names ("UTC", "CET") do not parse back reliably, so the stored time leaves them
    // out. Quoted literal text is kept as it is.
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.trimmed();
}

} // namespace

namespace ini {

QString Encode(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString Decode(const QString& raw) {
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c == u'\\' && i + 1 < raw.size()) {
            const QChar n = raw[i + 1];
            if (n == u'\\') {
                out += u'\\';
                ++i;
                continue;
            }
            if (n == u'n') {
                out += u'\n';
                ++i;
                continue;
            }
            if (n == u'r') {
                out += u'\r';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString Lookup(const QString& content, const QString& section, const QString& key) {
    bool inSection = false;
    const QStringList lines = content.split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString name = SectionName(line);
        if (!name.isNull()) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        QString k, v;
        if (SplitKeyLine(line, k, v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            QString value = Decode(UnquoteValue(v));
            if (value.size() > kMaxValueChars)
                value.truncate(kMaxValueChars);
            return value.isNull() ? QString(u""_qs) : value;
        }
    }
    return {};
}

QString Update(const QString& content, const QString& section, const QString& key,
               const QString& value) {
    QStringList lines = content.split(u'\n');
    const bool crlf = content.contains(QStringLiteral("\r\n"));
    for (QString& l : lines)
        if (l.endsWith(u'\r'))
            l.chop(1);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();

    const QString newLine = key.toLower() + u'=' + Encode(value);
    qsizetype sectionStart = -1; // index of the section header
    qsizetype lastKeyLine = -1;  // last non-blank line inside the section
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = SectionName(lines[i]);
        if (!name.isNull()) {
            if (sectionStart >= 0)
                break; // the section ended
            if (name.compare(section, Qt::CaseInsensitive) == 0) {
                sectionStart = i;
                lastKeyLine = i;
            }
            continue;
        }
        if (sectionStart < 0)
            continue;
        if (!lines[i].trimmed().isEmpty())
            lastKeyLine = i;
        QString k, v;
        if (SplitKeyLine(lines[i], k, v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            lines[i] = newLine;
            const QString sep = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
            return lines.join(sep) + sep;
        }
    }
    if (sectionStart >= 0) {
        lines.insert(lastKeyLine + 1, newLine);
    } else {
        lines.append(u'[' + section.toLower() + u']');
        lines.append(newLine);
    }
    const QString sep = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    return lines.join(sep) + sep;
}

bool ParseInteger(const QString& text, int& out) {
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool negative = false;
    if (t.front() == u'-' || t.front() == u'+') {
        negative = t.front() == u'-';
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(QStringLiteral("0x")) || t.startsWith(QStringLiteral("0X"))) {
        base = 16;
        t.remove(0, 2);
    } else if (t.startsWith(u'$')) {
        base = 16;
        t.remove(0, 1);
    }
    if (t.isEmpty())
        return false;
    long long value = 0;
    for (QChar c : t) {
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c.unicode() - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c.unicode() - u'A' + 10;
        else
            return false;
        value = value * base + digit;
        // Hex text may spell the full 32-bit pattern (0xFFFFFFFF is -1), decimal may not.
        if (value > (base == 16 ? 0xFFFFFFFFLL : 2147483648LL))
            return false;
    }
    if (base == 16) {
        value = static_cast<int>(static_cast<unsigned int>(value));
    } else if (!negative && value > 2147483647LL) {
        return false;
    }
    out = static_cast<int>(negative ? -value : value);
    return true;
}

} // namespace ini

TIniFile::TIniFile(QString path, QLocale locale) : path_(std::move(path)), locale_(locale) {}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    const QString value = ini::Lookup(ReadWholeFile(path_), section, key);
    if (value.isNull())
        return def.left(kMaxValueChars);
    return value;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString message = "Unable to write to " + QFileInfo(path_).fileName();
    const QString content = ini::Update(ReadWholeFile(path_), section, key, value);
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        throw SettingsWriteError(message.toStdString());
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        throw SettingsWriteError(message.toStdString());
    const QByteArray bytes = content.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw SettingsWriteError(message.toStdString());
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    const QString value = ini::Lookup(ReadWholeFile(path_), section, key);
    int out = 0;
    if (value.isNull() || !ini::ParseInteger(value, out))
        return def;
    return out;
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString TIniFile::DateText(const QLocale& locale, const QDate& date) {
    return locale.toString(date, QLocale::ShortFormat);
}

QString TIniFile::LongTimeFormat(const QLocale& locale) {
    return StripTimeZone(locale.timeFormat(QLocale::LongFormat));
}

QString TIniFile::TimeText(const QLocale& locale, const QTime& time) {
    return locale.toString(time, LongTimeFormat(locale));
}

QDate TIniFile::ParseDate(const QLocale& locale, const QString& text) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QDate date = locale.toDate(text, format);
    if (date.isValid()) {
        // A two-digit year means the century around today, not 19yy.
        if (!format.contains(QStringLiteral("yyyy")) && format.contains(QStringLiteral("yy"))) {
            const int now = QDate::currentDate().year();
            while (date.year() < now - 50)
                date = date.addYears(100);
            while (date.year() > now + 49)
                date = date.addYears(-100);
        }
        return date;
    }
    // A file written under another locale may hold the date in ISO form.
    return QDate::fromString(text.trimmed(), Qt::ISODate);
}

QTime TIniFile::ParseTime(const QLocale& locale, const QString& text) {
    const QTime time = locale.toTime(text, LongTimeFormat(locale));
    if (time.isValid())
        return time;
    return QTime::fromString(text.trimmed(), Qt::ISODate);
}

QDateTime TIniFile::ReadDate(const QString& section, const QString& key,
                             const QDateTime& def) const {
    const QString value = ini::Lookup(ReadWholeFile(path_), section, key);
    if (value.isNull() || value.isEmpty())
        return def;
    const QDate date = ParseDate(locale_, value);
    if (!date.isValid())
        return def;
    return QDateTime(date, def.time());
}

void TIniFile::WriteDate(const QString& section, const QString& key, const QDateTime& value) {
    WriteString(section, key, DateText(locale_, value.date()));
}

QDateTime TIniFile::ReadTime(const QString& section, const QString& key,
                             const QDateTime& def) const {
    const QString value = ini::Lookup(ReadWholeFile(path_), section, key);
    if (value.isNull() || value.isEmpty())
        return def;
    const QTime time = ParseTime(locale_, value);
    if (!time.isValid())
        return def;
    return QDateTime(def.date(), time);
}

void TIniFile::WriteTime(const QString& section, const QString& key, const QDateTime& value) {
    WriteString(section, key, TimeText(locale_, value.time()));
}
