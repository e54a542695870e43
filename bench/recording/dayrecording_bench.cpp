// A day of recording in every format through the program's recording path (RecordingControl, the
// capture component, the file component), on the simulated sound server's fast clock; then one
// recording of 100 hours. For each: how fast the day passes, whether the time shown and the file
// stay exact, and the process's memory over the day.
//
//   bench_day_recording [hours=24] [long hours=100] [one run: MP3, WAV, WMA, OGG, RAW or LONG]
//
// Low rates and one channel keep the encoders' share small; the WAV day records 32 kHz mono
// 16-bit, so it passes 2^31 frames and 4 GiB (RF64) after 18.6 hours. Files go to a temporary
// home folder ($TMPDIR) and are deleted after each run; the WAV day needs about 5.6 GB of free
// disk there.

#include "dayrecording.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <vector>

namespace {

constexpr std::int64_t kHourMs = 60LL * 60 * 1000;

double Mb(std::int64_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

// Records `hours` in `format` and prints one paragraph; false when something was wrong.
bool RunDay(const DayFormat& format, int hours, const char* label) {
    const std::int64_t estimate = static_cast<std::int64_t>(hours) * 3600 * format.rate * 2;
    if (std::string(format.name) == "WAV" && FreeBytesAtHome() < estimate + (1LL << 30)) {
        std::printf("%s: skipped, %.1f GB free, about %.1f GB needed\n", label,
                    FreeBytesAtHome() / 1e9, estimate / 1e9);
        return false;
    }
    DayRecorder day(format);
    QElapsedTimer wall;
    wall.start();
    if (!day.Start()) {
        std::printf("%s: did not start: %s\n", label,
                    qPrintable(day.Rig().prompts.messages.join(" | ")));
        return false;
    }
    std::vector<std::int64_t> rss, trimmed, heap;
    bool shownExact = true;
    for (int h = 1; h <= hours && day.Rig().state.recording; ++h) {
        day.Advance(kHourMs);
        shownExact = shownExact && day.Shown() == FormatElapsed(day.ElapsedMs()) &&
                     day.Rig().state.sample_pos == day.ElapsedFrames();
        rss.push_back(ResidentBytes());
        heap.push_back(HeapInUse());
        // The allocator keeps freed pages at will, by a megabyte or two either way; what the
        // program needs shows once they are given back.
        malloc_trim(0);
        trimmed.push_back(ResidentBytes());
        if (std::getenv("TARNO_DAY_VERBOSE") != nullptr) {
            QFile status("/proc/self/status");
            QString parts;
            if (status.open(QIODevice::ReadOnly))
                for (const QString& line : QString::fromUtf8(status.readAll()).split('\n'))
                    if (line.startsWith("RssAnon") || line.startsWith("RssFile"))
                        parts += " " + line.simplified();
            std::printf(
                "  hour %d: resident %.2f MB (%.2f MB after malloc_trim), heap %.2f MB,%s\n", h,
                Mb(rss.back()), Mb(trimmed.back()), Mb(heap.back()), qPrintable(parts));
        }
    }
    const double recordS = wall.nsecsElapsed() / 1e9;
    const QString shown = day.Shown();
    const bool ran = day.Rig().state.recording;
    wall.restart();
    day.Stop();
    const double stopMs = wall.nsecsElapsed() / 1e6;
    const qint64 size = QFileInfo(day.Path()).size();
    const TailRead own = ReadTail(day.Path(), format, 5000);
    const FfmpegTail ff = FfmpegReadTail(day.Path(), format, 10000);
    const std::int64_t frames = day.ElapsedFrames();
    const std::int64_t end =
        std::max<std::int64_t>(own.lengthFrames - 5 * format.rate, 0) + own.tailFrames;

    std::printf("%s, %s %d Hz mono: %d h simulated in %.1f s (%.0f x real time), stop %.1f ms "
                "(target < 50)\n",
                label, format.name, format.rate, hours, recordS, hours * 3600.0 / recordS, stopMs);
    std::printf("  time shown at the end %s, exact at every hour: %s; messages: %lld%s%s\n",
                qPrintable(shown), shownExact && ran ? "yes" : "NO",
                static_cast<long long>(day.Rig().prompts.messages.size()),
                day.Rig().prompts.messages.isEmpty() ? "" : ": ",
                qPrintable(day.Rig().prompts.messages.join(" | ")));
    std::printf("  file %.2f GB; frames recorded %lld, stated %+lld, decoded to the end after a "
                "seek %+lld; ffprobe duration %+.3f s, ffmpeg -ss end-10s decodes to %+.3f s\n",
                size / 1e9, static_cast<long long>(frames),
                static_cast<long long>(own.lengthFrames - frames),
                static_cast<long long>(end - frames), ff.durationS - day.ElapsedMs() / 1000.0,
                ff.endS - day.ElapsedMs() / 1000.0);
    if (!rss.empty()) {
        const std::size_t mid = std::max<std::size_t>(rss.size() / 2, 1) - 1;
        std::printf("  resident MB at hour 1 / %zu / %d: %.2f / %.2f / %.2f (%+.0f KB); after "
                    "malloc_trim %.2f / %.2f / %.2f, growth %+.0f KB (target < 1024); heap "
                    "growth %+.0f KB\n",
                    mid + 1, hours, Mb(rss.front()), Mb(rss[mid]), Mb(rss.back()),
                    (rss.back() - rss.front()) / 1024.0, Mb(trimmed.front()), Mb(trimmed[mid]),
                    Mb(trimmed.back()), (trimmed.back() - trimmed.front()) / 1024.0,
                    (heap.back() - heap.front()) / 1024.0);
    }
    return ran && shownExact && stopMs < 50 && end >= frames && own.lengthFrames >= frames &&
           day.Rig().prompts.messages.isEmpty() && trimmed.back() - trimmed.front() < (1 << 20);
}

} // namespace

int main(int argc, char** argv) {
    // The recordings go to <home>/My Recorder, which the runs clear: never the user's own.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
    QCoreApplication app(argc, argv);
    const int hours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 24;
    const int longHours = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    QDir().mkpath(QDir::homePath() + "/config");

    if (argc <= 3) {
        // Each run in a process of its own, so one run's memory does not colour the next one's.
        std::printf("simulated recordings through RecordingControl, one-second clock steps, "
                    "300 ms blocks, a 440 Hz tone\n");
        std::fflush(stdout);
        int failures = 0;
        for (const char* run : {"MP3", "WAV", "WMA", "OGG", "RAW", "LONG"}) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::number(hours), QString::number(longHours), run});
            child.waitForFinished(-1);
            failures += child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0;
        }
        std::printf("%s\n",
                    failures == 0 ? "all exact, memory flat" : "SOME FIGURES MISSED THEIR TARGET");
        return failures == 0 ? 0 : 1;
    }

    const QString run = QString(argv[3]).toUpper();
    bool ok = false;
    for (const DayFormat& f : {dayformats::Mp3(), dayformats::Wav(7, 32000), dayformats::Wma(),
                               dayformats::Ogg(), dayformats::Raw()})
        if (run == f.name)
            ok = RunDay(f, hours, "day");
    if (run == "LONG")
        ok = RunDay(dayformats::Raw(), longHours, "long run");
    std::fflush(stdout);
    return ok ? 0 : 1;
}
