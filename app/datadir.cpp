#include "datadir.h"

#include <QDir>
#include <QFileInfo>

QString FindDataDir(const QString& exeDir) {
    if (QFileInfo::exists(exeDir + QStringLiteral("/mp3enc.skn")))
        return exeDir;
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/tarno-recorder"));
    if (QFileInfo(installed).isDir())
        return installed;
    return exeDir;
}
