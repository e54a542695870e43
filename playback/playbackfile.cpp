#include "playbackfile.h"

#include "appstate.h"
#include "componenterror.h"
#include "settingstable.h"
#include "taudiofile2.h"
#include "tinifile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

bool IsRawPath(const QString& path) {
    return path.endsWith(QLatin1String(".raw"), Qt::CaseInsensitive);
}

void OpenForPlayback(TAudioFile2& file, const TIniFile& settings, const QString& path) {
    if (IsRawPath(path)) {
        const auto [codec, rate, channels, bits] = settings::ReadRawChoice(settings);
        file.SetRawFormat(codec, rate, channels, bits);
    }
    file.OpenForRead(path, 0, 1);
}

namespace {

// Closes the file component however the probe leaves.
struct CloseOnExit {
    TAudioFile2& file;
    ~CloseOnExit() {
        try {
            file.CloseFile();
        } catch (...) {
            // Closing a reader has nothing to lose; the probe's own error is the one to report.
        }
    }
};

} // namespace

ListEntry ProbeForList(TAudioFile2& file, const TIniFile& settings, const QString& path) {
    ListEntry entry;
    {
        CloseOnExit closer{file};
        OpenForPlayback(file, settings, path);
        entry.time = FormatElapsed(file.GetDurationMs());
    }
    entry.name = QFileInfo(path).fileName();

    QFile plain(path);
    if (!plain.open(QIODevice::ReadOnly))
        throw ComponentError(QString("%1: %2").arg(path, plain.errorString()).toStdString());
    QDateTime created = plain.fileTime(QFileDevice::FileBirthTime);
    if (!created.isValid())
        created = plain.fileTime(QFileDevice::FileModificationTime);
    plain.close();
    if (!created.isValid())
        throw ComponentError(QString("%1: no file time").arg(path).toStdString());
    entry.date = created.toUTC().toString("dd-MM-yyyy");
    entry.path = path;
    return entry;
}
