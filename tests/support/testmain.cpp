// Test entry: every test program runs with HOME and XDG_CONFIG_HOME in a fresh temporary folder,
// so nothing touches the real home folder or settings, and with the offscreen Qt platform.
#include <gtest/gtest.h>

#ifdef TARNO_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    char pattern[] = "/tmp/tarno-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr)
        return 2;
    const std::string home = dir;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
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
