// Records from a PulseAudio source through TAudioRecord2 for a number of seconds and, at the same
// time, with parecord in the same format; prints the CPU seconds of each, their ratio, the frames
// the component lost, and how evenly its timer events (the level meters' updates) came.
//   bench_capture_cpu [seconds=60] [source=mic.monitor]
// Needs PULSE_SERVER (for example from scripts/pulse-private.sh). Build without sanitizers for
// figures worth quoting.
#include "audiobackend.h"
#include "taudiorecord2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double CpuSeconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const std::string source = argc > 2 ? argv[2] : "mic.monitor";
    if (std::getenv("PULSE_SERVER") == nullptr)
        std::fprintf(stderr, "note: PULSE_SERVER is not set; using the session's server\n");

    auto backend = MakePulseBackend("Tarno capture benchmark");
    TAudioRecord2 rec(backend);
    int device = -1;
    std::vector<AudioSource> sources;
    try {
        sources = backend->Sources();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const int max = rec.GetMaxDeviceIndex();
    for (int i = 0; i < max && i < static_cast<int>(sources.size()); ++i)
        if (sources[i].name == source)
            device = i;
    if (device < 0) {
        std::fprintf(stderr, "no source named %s\n", source.c_str());
        return 1;
    }
    rec.SelectDevice(device);

    const PcmFormat format{44100, 2, SampleType::S16};
    long long bytes = 0;
    QObject::connect(&rec, &TAudioRecord2::OnEndArrayRecord,
                     [&](int) { bytes += static_cast<long long>(rec.GetRecordedBlock().size()); });

    // Two references: parecord as it comes (it asks for large fragments and wakes rarely) and
    // parecord with fragments of 50 ms, as often as the level meters move.
    auto launch = [&](const char* latency) {
        const pid_t pid = fork();
        if (pid == 0) {
            const std::string dev = "--device=" + source;
            execlp("parecord", "parecord", dev.c_str(), "--raw", "--format=s16le", "--rate=44100",
                   "--channels=2", latency, "/dev/null", static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    };
    const pid_t child = launch("--latency-msec=2000");
    const pid_t child50 = launch("--latency-msec=50");

    QElapsedTimer clock;
    std::vector<double> eventsMs;
    QObject::connect(&rec, &TAudioRecord2::OnTimer,
                     [&](qint64, int, int) { eventsMs.push_back(clock.nsecsElapsed() / 1e6); });
    clock.start();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    rec.SetFormat(format.Handle(), format.Param());
    rec.SetBufferSize(rec.CalcBufferSize(300));
    rec.StartCapture();
    if (rec.GetErrorCode() != 0) {
        std::fprintf(stderr, "%s\n", rec.GetErrorText().toUtf8().constData());
        kill(child, SIGTERM);
        kill(child50, SIGTERM);
        return 1;
    }
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    rec.StopCapture();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);

    kill(child, SIGINT);
    kill(child50, SIGINT);
    int status = 0;
    rusage theirs{}, theirs50{};
    wait4(child, &status, 0, &theirs);
    wait4(child50, &status, 0, &theirs50);

    const double ours = CpuSeconds(after) - CpuSeconds(before);
    const double reference = CpuSeconds(theirs);
    const double reference50 = CpuSeconds(theirs50);
    std::printf("capture of %d s from %s, 44100 Hz stereo 16-bit\n", seconds, source.c_str());
    std::printf("TAudioRecord2: %.3f s CPU, %lld frames, %lld lost\n", ours, bytes / 4,
                static_cast<long long>(rec.LostFrames()));
    std::printf("parecord, 2 s fragments:  %.3f s CPU, ratio ours/parecord %.2f\n", reference,
                reference > 0 ? ours / reference : 0.0);
    std::printf("parecord, 50 ms fragments: %.3f s CPU, ratio ours/parecord %.2f (target <= 1.0)\n",
                reference50, reference50 > 0 ? ours / reference50 : 0.0);
    // The first second holds the start's short fragments; the gaps after it are the steady state.
    std::vector<double> gaps;
    for (std::size_t i = 1; i < eventsMs.size(); ++i)
        if (eventsMs[i - 1] >= 1000)
            gaps.push_back(eventsMs[i] - eventsMs[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    if (!gaps.empty())
        std::printf(
            "timer events (the meters): %.1f a second; gaps median %.1f ms, 95th percentile "
            "%.1f ms, longest %.1f ms (target: 20 a second, gaps near 50 ms)\n",
            gaps.size() * 1000.0 / (eventsMs.back() - 1000), gaps[gaps.size() / 2],
            gaps[gaps.size() * 95 / 100], gaps.back());
    return 0;
}
