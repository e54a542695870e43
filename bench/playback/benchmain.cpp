#include <QApplication>

int RunListProbeBench(int argc, char** argv);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunListProbeBench(argc, argv);
}
