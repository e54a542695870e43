// How soon sound starts: from the record call to the first captured frame, and from the play call
// to the first sound on the sink's monitor, each beside parec and paplay measured the same way in
// the same run (the clock starts before the call or the process start and stops at the first
// frame on our side or on the monitor).
//   bench_latency [rounds=10] [source=mic.monitor]
// Needs PULSE_SERVER with the devices of scripts/test-devices.sh, and pactl, parec and paplay.
// Build without sanitizers for figures worth quoting.
#include "audiobackend.h"
#include "taudioplayer2.h"
#include "taudiorecord2.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0, Clock::time_point t1) {
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

void RunEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Starts `args` with its standard output on a pipe; returns the pid, the read end in *fd.
pid_t Spawn(const std::vector<std::string>& args, int* fd) {
    int p[2];
    if (pipe(p) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(p[1], 1);
        close(p[0]);
        close(p[1]);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(p[1]);
    *fd = p[0];
    return pid;
}

void End(pid_t pid, int fd) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    if (fd >= 0)
        close(fd);
}

// Watches a sink's monitor (mono 16-bit at 44100 Hz, 5 ms fragments) and notes when the first
// loud sample arrives after Arm().
class MonitorWatch {
public:
    explicit MonitorWatch(const std::string& monitor) {
        pid_ = Spawn({"parec", "--device=" + monitor, "--raw", "--format=s16le", "--rate=44100",
                      "--channels=1", "--latency-msec=5"},
                     &fd_);
        reader_ = std::thread([this] { Read(); });
    }
    ~MonitorWatch() {
        End(pid_, -1);
        reader_.join();
        close(fd_);
    }
    void Arm() {
        heard_.store(0);
        armed_.store(true);
    }
    // The time of the first loud sample since Arm(), waiting up to `limitMs`; nothing when silent.
    bool Heard(int limitMs, Clock::time_point* when) {
        const auto until = Clock::now() + std::chrono::milliseconds(limitMs);
        while (heard_.load() == 0 && Clock::now() < until) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        armed_.store(false);
        const auto ns = heard_.load();
        if (ns == 0)
            return false;
        *when = Clock::time_point(Clock::duration(ns));
        return true;
    }

private:
    void Read() {
        std::int16_t buf[2048];
        for (;;) {
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0)
                return;
            if (!armed_.load() || heard_.load() != 0)
                continue;
            for (ssize_t i = 0; i < n / 2; ++i)
                if (std::abs(int(buf[i])) > 3000) {
                    heard_.store(Clock::now().time_since_epoch().count());
                    break;
                }
        }
    }
    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread reader_;
    std::atomic<bool> armed_{false};
    std::atomic<Clock::rep> heard_{0};
};

struct Stats {
    std::vector<double> ms;
    std::string Line() const {
        if (ms.empty())
            return "no figure";
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        char out[128];
        std::snprintf(out, sizeof out, "median %6.1f ms  min %6.1f  max %6.1f  (%zu rounds)",
                      s[s.size() / 2], s.front(), s.back(), s.size());
        return out;
    }
    double Median() const {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        return s.empty() ? NAN : s[s.size() / 2];
    }
};

void Compare(const char* what, const Stats& ours, const Stats& theirs, const char* tool) {
    std::printf("%s\n  ours:    %s\n  %-8s %s\n  ours - %s: %+.1f ms (target <= 20 ms)\n\n", what,
                ours.Line().c_str(), (std::string(tool) + ":").c_str(), theirs.Line().c_str(), tool,
                ours.Median() - theirs.Median());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string source = argc > 2 ? argv[2] : "mic.monitor";
    // Playback goes to a sink of our own; libpulse reads PULSE_SINK when it connects.
    QProcess load;
    const QString sink = QString("tarno_bench_latency_%1").arg(getpid());
    load.start("pactl", {"load-module", "module-null-sink", "sink_name=" + sink});
    load.waitForFinished(5000);
    const QString module = QString::fromUtf8(load.readAllStandardOutput()).trimmed();
    if (load.exitCode() != 0 || module.isEmpty()) {
        std::fprintf(stderr, "could not load a null sink\n");
        return 1;
    }
    qputenv("PULSE_SINK", sink.toUtf8());
    auto backend = MakePulseBackend("Tarno latency benchmark");
    std::vector<AudioSource> sources;
    try {
        sources = backend->Sources(); // connects: the program is connected before a key press
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    QProcess info;
    info.start("pactl", {"info"});
    info.waitForFinished(5000);
    const QString server = QString::fromUtf8(info.readAllStandardOutput())
                               .section("Server Name: ", 1)
                               .section('\n', 0, 0);
    std::printf("server: %s\n", server.toUtf8().constData());
    std::printf(
        "ours: from the call, connected to the server beforehand as the running program is\n"
        "at a key press; parec and paplay: from the start of the process, so their figures\n"
        "include their own start and connection.\n\n");

    // Capture: the record call to the first frame delivered, 50 ms fragments on both sides.
    Stats capOurs, capParec;
    {
        TAudioRecord2 rec(backend);
        int device = -1;
        for (int i = 0; i < int(sources.size()); ++i)
            if (sources[i].name == source)
                device = i;
        if (device < 0) {
            std::fprintf(stderr, "no source named %s\n", source.c_str());
            QProcess::execute("pactl", {"unload-module", module});
            return 1;
        }
        rec.SelectDevice(device);
        const PcmFormat f{44100, 2, SampleType::S16};
        rec.SetFormat(f.Handle(), f.Param());
        rec.SetBufferSize(f.BytesPerFrame()); // every frame is a block: the first one shows at once
        Clock::time_point first{};
        QObject::connect(&rec, &TAudioRecord2::OnEndArrayRecord, [&](int) {
            if (first == Clock::time_point{})
                first = Clock::now();
        });
        for (int r = 0; r < rounds; ++r) {
            first = {};
            const auto t0 = Clock::now();
            rec.StartCapture();
            if (rec.GetErrorCode() != 0) {
                std::fprintf(stderr, "%s\n", rec.GetErrorText().toUtf8().constData());
                return 1;
            }
            while (first == Clock::time_point{} && MsSince(t0, Clock::now()) < 3000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            rec.StopCapture();
            if (first != Clock::time_point{})
                capOurs.ms.push_back(MsSince(t0, first));

            int fd = -1;
            const auto p0 = Clock::now();
            const pid_t pid = Spawn({"parec", "--device=" + source, "--raw", "--format=s16le",
                                     "--rate=44100", "--channels=2", "--latency-msec=50"},
                                    &fd);
            char byte;
            if (read(fd, &byte, 1) == 1)
                capParec.ms.push_back(MsSince(p0, Clock::now()));
            End(pid, fd);
            RunEvents(100);
        }
    }
    Compare("record call to the first captured frame", capOurs, capParec, "parec");

    // Playback: the play call to the first sound on the sink's monitor.
    Stats playOurs, playPaplay;
    {
        QTemporaryDir dir;
        const PcmFormat f{44100, 2, SampleType::S16};
        Block tone(44100 / 2 * 4);
        for (std::size_t i = 0; i < tone.size() / 4; ++i) {
            const auto v =
                static_cast<std::int16_t>(16000 * std::sin(2 * M_PI * 1000 * i / 44100.0));
            std::memcpy(&tone[i * 4], &v, 2);
            std::memcpy(&tone[i * 4 + 2], &v, 2);
        }
        const std::string wav = dir.filePath("tone.wav").toStdString();
        QProcess::execute("sox",
                          {"-n", "-r", "44100", "-c", "2", "-b", "16", QString::fromStdString(wav),
                           "synth", "0.5", "sine", "1000", "vol", "0.5"});
        MonitorWatch watch(sink.toStdString() + ".monitor");
        RunEvents(500); // the monitor reader runs
        TAudioPlayer2 player(backend);
        for (int r = 0; r < rounds; ++r) {
            Clock::time_point heard;
            watch.Arm();
            const auto t0 = Clock::now();
            player.SetFormat(f.Handle(), f.Param());
            player.StartPlayback();
            player.QueueBlock(tone);
            player.QueueBlock({});
            if (watch.Heard(3000, &heard))
                playOurs.ms.push_back(MsSince(t0, heard));
            RunEvents(700);
            player.StopPlayback();

            watch.Arm();
            int fd = -1;
            const auto p0 = Clock::now();
            const pid_t pid = Spawn({"paplay", "--device=" + sink.toStdString(), wav}, &fd);
            if (watch.Heard(3000, &heard))
                playPaplay.ms.push_back(MsSince(p0, heard));
            waitpid(pid, nullptr, 0);
            close(fd);
            RunEvents(200);
        }
    }
    QProcess::execute("pactl", {"unload-module", module});
    Compare("play call to the first sound on the sink's monitor", playOurs, playPaplay, "paplay");
    return 0;
}
