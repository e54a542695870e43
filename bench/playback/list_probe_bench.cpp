// Adding files to the recordings list: milliseconds per file for the program's probe (through
// the list window's AddToList, and the bare probe), against running ffprobe on each file in the
// same run.
//
//   bench_list_probe [count=1000] [seconds per file=1]
//
// The files are made by the program's own file component, the five formats in turn.

#include "appstate.h"
#include "fakeports.h"
#include "playbackfile.h"
#include "recorderskin.h"
#include "taudiofile2.h"
#include "testaudio.h"
#include "tfm_list.h"
#include "tinifile.h"
#include "tskin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

class NoActions : public RecorderActions {
public:
    void StartRecording() override {}
    void StopRecording() override {}
    void ToggleRecordPause() override {}
    void PlaySelected() override {}
    void TogglePlayPause() override {}
    void StopPlaying() override {}
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1.0;

    QTemporaryDir dir;
    TIniFile ini(dir.filePath("tarnoRecord.ini"));
    const TestFormat formats[] = {TestFormat::Mp3, TestFormat::Wav, TestFormat::Ogg,
                                  TestFormat::Wma, TestFormat::Raw};
    const char* extensions[] = {".mp3", ".wav", ".ogg", ".wma", ".raw"};
    // The first file of each format is made once and copied: the probe, not the encoder, is timed.
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const int k = i % 5;
        const QString path =
            dir.filePath(QString("f%1%2").arg(i, 5, 10, QChar('0')).arg(extensions[k]));
        if (i < 5)
            WriteToneFile(path, formats[k], seconds, 1000);
        else
            QFile::copy(paths[k], path);
        paths << path;
    }
    std::printf("%d files (%.1f s each, MP3/WAV/OGG/WMA/RAW in turn)\n", count, seconds);

    AppState state;
    FakePrompts prompts;
    FakeDisplay display;
    TAudioFile2 AudioFilepaly;
    TSkin skin{recorderskin::FallbackSkin()};
    NoActions actions;
    Tfm_list fm_list(state, ini, prompts, display, AudioFilepaly, skin, actions, nullptr);
    prompts.openAnswers.push_back(paths);
    QElapsedTimer timer;
    timer.start();
    fm_list.AddToList();
    const double listMs = timer.nsecsElapsed() / 1e6;
    if (fm_list.Count() != count || !prompts.messages.isEmpty()) {
        std::fprintf(stderr, "only %d of %d files listed\n", fm_list.Count(), count);
        return 1;
    }

    timer.restart();
    for (const QString& path : paths)
        ProbeForList(AudioFilepaly, ini, path);
    const double probeMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    for (const QString& path : paths) {
        QStringList args{"-v", "error"};
        if (path.endsWith(".raw"))
            args << "-f"
                 << "s16le"
                 << "-ar"
                 << "44100"
                 << "-ac"
                 << "2";
        args << "-show_entries"
             << "format=duration"
             << "-of"
             << "csv=p=0" << path;
        QProcess ffprobe;
        ffprobe.start("ffprobe", args);
        if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0) {
            std::fprintf(stderr, "ffprobe failed on %s\n", qPrintable(path));
            return 1;
        }
    }
    const double ffprobeMs = timer.nsecsElapsed() / 1e6;

    std::printf("AddToList (probe, date, list entry): %8.3f ms per file\n", listMs / count);
    std::printf("probe alone:                         %8.3f ms per file\n", probeMs / count);
    std::printf("ffprobe per file:                    %8.3f ms per file\n", ffprobeMs / count);
    std::printf("ratio ffprobe / AddToList:           %8.1f x (target: at least 5)\n",
                ffprobeMs / listMs);
    return 0;
}
