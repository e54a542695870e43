// The main thread leaves GLib's event loop only where no GTK theme can need it.
#include "eventloop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QProcessEnvironment Env(std::initializer_list<std::pair<const char*, const char*>> vars) {
    QProcessEnvironment env;
    for (const auto& [name, value] : vars)
        env.insert(name, value);
    return env;
}

TEST(EventLoop, GlibStaysWhereverAGtkThemeCanBeChosenOrTheUserDecided) {
    struct Case {
        QProcessEnvironment env;
        bool gtkInstalled;
        bool plain;
    };
    const Case cases[] = {
        // No GTK theme on the machine: nothing can need GLib's loop.
        {Env({}), false, true},
        {Env({{"XDG_CURRENT_DESKTOP", "GNOME"}}), false, true},
        {Env({{"QT_QPA_PLATFORMTHEME", "xdgdesktopportal"}}), false, true},
        // Installed and no theme named: Qt picks GTK's on GNOME, Xfce, MATE and the like.
        {Env({{"XDG_CURRENT_DESKTOP", "GNOME"}}), true, false},
        {Env({{"XDG_CURRENT_DESKTOP", "KDE"}}), true, false},
        // A theme named: GTK's, or the portal's that wraps the desktop's, keeps GLib.
        {Env({{"QT_QPA_PLATFORMTHEME", "gtk3"}}), true, false},
        {Env({{"QT_QPA_PLATFORMTHEME", "GTK3"}}), false, false},
        {Env({{"QT_QPA_PLATFORMTHEME", "xdgdesktopportal"}}), true, false},
        {Env({{"QT_QPA_PLATFORMTHEME", "flatpak"}}), true, false},
        {Env({{"QT_QPA_PLATFORMTHEME", "qt6ct"}}), true, true},
        {Env({{"QT_QPA_PLATFORMTHEME", "kde"}}), true, true},
        // The user's own QT_NO_GLIB, whatever its value, is left as it is.
        {Env({{"QT_NO_GLIB", "1"}}), false, false},
        {Env({{"QT_NO_GLIB", ""}}), false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlainEventLoopIsSafe(c.env, c.gtkInstalled), c.plain)
            << c.env.toStringList().join(' ').toStdString() << " gtk installed " << c.gtkInstalled;
}

TEST(EventLoop, AGtkThemeIsFoundInAnyPluginFolder) {
    QTemporaryDir root;
    const QString first = root.path() + "/first", second = root.path() + "/second";
    QDir().mkpath(second + "/platformthemes");
    const auto touch = [](const QString& path) {
        QDir().mkpath(QFileInfo(path).path());
        return QFile(path).open(QIODevice::WriteOnly);
    };
    ASSERT_TRUE(touch(first + "/platformthemes/libqxdgdesktopportal.so"));
    EXPECT_FALSE(GtkThemeInstalled({first, second, root.path() + "/missing"}));

    ASSERT_TRUE(touch(second + "/platformthemes/libqgtk3.so"));
    EXPECT_TRUE(GtkThemeInstalled({first, second}));
    EXPECT_FALSE(GtkThemeInstalled({first}));

    // QT_PLUGIN_PATH comes first, then Qt's own folder.
    const QStringList folders =
        QtPluginFolders(Env({{"QT_PLUGIN_PATH", qPrintable(first + ":" + second)}}));
    ASSERT_GE(folders.size(), 3);
    EXPECT_EQ(folders[0], first);
    EXPECT_EQ(folders[1], second);
    EXPECT_TRUE(GtkThemeInstalled(folders));
}

} // namespace
