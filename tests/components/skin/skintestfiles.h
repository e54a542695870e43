#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

// The default skin shipped with the program, and broken variants of it written to disk.
QString DefaultSkinPath();
QByteArray DefaultSkinText();

// The default skin with one element of one form changed by `change`.
QByteArray WithElement(const QString& form, const QString& element,
                       const std::function<void(QJsonObject&)>& change);
// The default skin with the whole root object changed by `change`.
QByteArray WithRoot(const std::function<void(QJsonObject&)>& change);

// Writes `content` as "mp3enc.skn" in `dir` and returns the path.
QString WriteSkin(const QTemporaryDir& dir, const QByteArray& content);
