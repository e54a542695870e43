#include "eventloop.h"

#include <QDir>
#include <QLibraryInfo>

QStringList QtPluginFolders(const QProcessEnvironment& env) {
    QStringList folders =
        env.value("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    return folders;
}

bool GtkThemeInstalled(const QStringList& pluginFolders) {
    for (const QString& folder : pluginFolders) {
        const QDir themes(folder + "/platformthemes");
        if (!themes.entryList({"*gtk*"}, QDir::Files | QDir::Readable).isEmpty())
            return true;
    }
    return false;
}

bool PlainEventLoopIsSafe(const QProcessEnvironment& env, bool gtkThemeInstalled) {
    if (env.contains("QT_NO_GLIB"))
        return false; // the user's own choice stands
    const QString theme = env.value("QT_QPA_PLATFORMTHEME").toLower();
    if (theme.contains("gtk"))
        return false;
    if (!gtkThemeInstalled)
        return true;
    if (theme.isEmpty())
        return false;
    // The portal theme (Flatpak, Snap) wraps the theme the desktop would get.
    return !theme.contains("portal") && !theme.contains("flatpak") && !theme.contains("snap");
}
