#pragma once

#include <QProcessEnvironment>
#include <QStringList>

// Which event loop the main thread runs.
//
// Qt on Linux runs its event loop on GLib's unless QT_NO_GLIB is set. Nothing of the program needs
// GLib's loop, and Qt's own loop costs less at each wake-up: while recording, with the meters
// stepping 20 times a second, about 8 % of the whole program's CPU. Only Qt's GTK platform theme
// needs GLib's loop: its native dialogs run on it, and under Qt's own loop the program's timers,
// and with them the recording, would stand still while such a dialog is open.

// Qt's plugin folders, as Qt searches them: QT_PLUGIN_PATH, then the installed plugins folder.
QStringList QtPluginFolders(const QProcessEnvironment& env);

// True when a GTK platform theme plugin lies in one of `pluginFolders` ("platformthemes/*gtk*").
bool GtkThemeInstalled(const QStringList& pluginFolders);

// True when the program may set QT_NO_GLIB for itself: the user has not set it, and Qt cannot end
// up with a GTK theme. That is: no GTK theme is installed, or QT_QPA_PLATFORMTHEME names a theme
// that is neither GTK's nor one that picks a theme by the desktop (the portal theme). With a GTK
// theme installed and no theme named, Qt picks GTK's on GTK-based desktops; the answer is false.
bool PlainEventLoopIsSafe(const QProcessEnvironment& env, bool gtkThemeInstalled);
