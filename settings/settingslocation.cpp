#include "settingslocation.h"

#include <QDir>

namespace location {

QString SettingsPath(const QProcessEnvironment& env) {
    QString base = env.value("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = env.value("HOME", QDir::homePath()) + "/.config";
    return QDir::cleanPath(base) + "/" + kSettingsFileName;
}

QString DefaultOutputDir(const QProcessEnvironment& env) {
    return QDir::cleanPath(env.value("HOME", QDir::homePath())) + "/My Recorder";
}

} // namespace location
