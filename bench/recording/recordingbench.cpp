// CPU time of a real-time recording to MP3 at 128 kbit/s (44100 Hz stereo, quality 9, constant
// bit rate) through the program's start, capture events, encoder and stop, against
// `parec | lame` with the same settings recording the same source at the same time.
//
//   bench_recording [seconds=60] [source=mic.monitor]
// Needs PULSE_SERVER (scripts/pulse-private.sh start DIR). The program records from its
// "Default input", which is the private daemon's default source.

#include "appstate.h"
#include "audiobackend.h"
#include "ports.h"
#include "prompts.h"
#include "recordingcontrol.h"
#include "taudiofile2.h"
#include "taudiofile2lameenc.h"
#include "taudioinformation2.h"
#include "taudiorecord2.h"
#include "tinifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sys/resource.h>

namespace {

class QuietDisplay : public MainDisplay {
public:
    void SetText(const QString& element, const QString& text) override { texts[element] = text; }
    QString GetText(const QString& element) const override { return texts.value(element); }
    void SetVisible(const QString&, bool, bool) override {}
    int GetPosition(const QString&) const override { return 0; }
    void SetPosition(const QString&, int) override {}
    void ShowDisplay(bool) override {}
    void SetProgressWidth(int) override {}
    int PlayBarPixels() const override { return 0; }
    void SetMeters(int, int) override {}
    void StopMeters() override {}
    QMap<QString, QString> texts;
};

class PrintingPrompts : public Prompts {
public:
    void Information(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++messages;
    }
    bool YesNo(const QString&) override { return true; }
    QString SaveFileName(const QString&) override { return {}; }
    QStringList OpenFileNames(const QString&) override { return {}; }
    int messages = 0;
};

class NoDialog : public SettingsDialogPort {
public:
    void SaveSettings() override {}
    QString WmaEntryText() const override { return {}; }
};

class NoList : public RecordingsList {
public:
    void AddToList() override {}
    int Count() const override { return 0; }
    int FirstSelected() const override { return -1; }
    void DeselectAll() override {}
    void Select(int) override {}
    QString Path(int) const override { return {}; }
};

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const QString source = argc > 2 ? argv[2] : "mic.monitor";
    if (std::getenv("PULSE_SERVER") == nullptr) {
        std::fprintf(stderr, "PULSE_SERVER is not set; start scripts/pulse-private.sh first\n");
        return 2;
    }

    QTemporaryDir dir;
    TIniFile ini(dir.filePath("tarnoRecord.ini"));
    ini.WriteInteger("output", "format", 0);
    ini.WriteString("output", "dir", dir.path());
    ini.WriteInteger("mp3", "frequency", 8);
    ini.WriteInteger("mp3", "bitrate", 11);
    ini.WriteInteger("mp3", "channel", 1);
    ini.WriteInteger("mp3", "quality", 9);
    ini.WriteBool("mp3", "enable vbr", false);

    AppState state;
    QuietDisplay display;
    PrintingPrompts prompts;
    NoDialog dialog;
    NoList list;
    TAudioRecord2 record(MakePulseBackend("tarno-bench"));
    TAudioFile2 fileWrite;
    TAudioFile2LameEnc lameEnc;
    TAudioInformation2 information;
    RecordingControl control(RecordingParts{state, ini, prompts, display, dialog, list, record,
                                            fileWrite, lameEnc, information, dir.path()});
    auto guarded = [&](auto&& action) {
        try {
            action();
        } catch (const std::exception& e) {
            prompts.Information(e.what());
            if (state.recording)
                control.StopRecording();
        }
    };
    QObject::connect(&record, &TAudioRecord2::OnTimer, [&](qint64 n, int l, int r) {
        guarded([&] { control.AudioRecord1Timer(n, l, r); });
    });
    QObject::connect(&record, &TAudioRecord2::OnEndArrayRecord,
                     [&](int n) { guarded([&] { control.AudioRecord1EndArrayRecord(n); }); });

    // The reference runs at the same time, recording the same source for the same span.
    const QString refFile = dir.filePath("reference.mp3");
    QProcess reference;
    reference.start("sh", {"-c", QString("timeout -s INT %1 parec -d %2 --rate=44100 --channels=2 "
                                         "--format=s16le --latency-msec=300 | lame --quiet -r "
                                         "-s 44.1 --bitwidth 16 --signed --little-endian -m j "
                                         "-b 128 --cbr -q 9 - '%3'")
                                     .arg(seconds)
                                     .arg(source, refFile)});

    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    guarded([&] { control.StartRecording(); });
    if (!state.recording) {
        std::fprintf(stderr, "the recording did not start\n");
        return 1;
    }
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    guarded([&] { control.StopRecording(); });
    const double ours = CpuSeconds(RUSAGE_SELF) - cpu0;
    const double shown = record.SamplesToMs(state.sample_pos) / 1000.0;
    const long long lost = record.LostFrames();

    reference.waitForFinished(seconds * 1000 + 30000);
    const double theirs = CpuSeconds(RUSAGE_CHILDREN);

    TAudioFile2 reader;
    reader.OpenForRead(state.out_file_name, 0, 1);
    const double ourLength = reader.GetDurationMs() / 1000.0;
    reader.CloseFile();

    std::printf("recording to MP3 128 kbit/s CBR, 44100 Hz stereo, %d s real time\n", seconds);
    std::printf(
        "  program (RecordingControl, capture, LAME) CPU: %8.3f s  file %.2f s, %lld bytes\n", ours,
        ourLength, static_cast<long long>(QFileInfo(state.out_file_name).size()));
    std::printf("  parec | lame                          CPU: %8.3f s  file %lld bytes\n", theirs,
                static_cast<long long>(QFileInfo(refFile).size()));
    std::printf("  ratio program / reference: %.3f (target <= 1.0)\n",
                theirs > 0 ? ours / theirs : 0.0);
    std::printf("  time shown at the stop: %.2f s\n", shown);
    std::printf("  lost frames: %lld (target 0); messages: %d\n", lost, prompts.messages);
    return 0;
}
