// Test entry: every test program runs with HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR in a fresh
// temporary folder, so nothing touches the real home folder, settings or runtime folder, and with
// the offscreen Qt platform.
#include <gtest/gtest.h>

#ifdef TARNO_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    char pattern[] = "/tmp/tarno-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr)
        return 2;
    const std::string home = dir;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    // Qt and the one-instance guard keep sockets and locks in the runtime folder: a private one.
    const std::string runtime = home + "/runtime";
    if (mkdir(runtime.c_str(), 0700) != 0)
        return 2;
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
#ifdef TARNO_TEST_GUI
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    const int rc = RUN_ALL_TESTS();
    if (std::getenv("TARNO_KEEP_TEST_HOME") == nullptr)
        std::system(("rm -rf '" + home + "'").c_str());
    return rc;
}
