#pragma once

// Command-line tools of the sound server for live tests (pactl, parec), and a null sink of one
// test alone. Needs PULSE_SERVER.
//
// The tools start with fork and exec, not QProcess: Qt starts a child with clone(CLONE_VM), which
// ThreadSanitizer cannot follow. After one such start it reports races on every later hand-over
// between threads, even on a variable written before a mutex is unlocked and read after it is
// locked; with fork it reports none.

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>
#include <csignal>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace livetools {

inline pid_t Start(const std::vector<std::string>& args, int* out) {
    int p[2] = {-1, -1};
    if (out != nullptr && pipe(p) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        if (out != nullptr) {
            dup2(p[1], 1);
            close(p[0]);
            close(p[1]);
        }
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (out != nullptr) {
        close(p[1]);
        *out = p[0];
    }
    return pid;
}

} // namespace livetools

// Runs a tool to its end; its standard output, or nothing when it failed.
inline std::optional<std::string> RunTool(const std::vector<std::string>& args) {
    int fd = -1;
    const pid_t pid = livetools::Start(args, &fd);
    if (pid < 0)
        return std::nullopt;
    std::string out;
    char buf[512];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

// A tool running in the background until this object goes (for example parec keeping a sink's
// monitor busy), its output discarded.
class BackgroundTool {
public:
    explicit BackgroundTool(const std::vector<std::string>& args)
        : pid_(livetools::Start(args, nullptr)) {}
    ~BackgroundTool() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    BackgroundTool(const BackgroundTool&) = delete;
    BackgroundTool& operator=(const BackgroundTool&) = delete;

private:
    pid_t pid_;
};

// A null sink of one test alone on the live test server, so that other tests playing at the same
// time do not mix into what this test hears, and a test may change its volume freely. Streams
// opened without a device go to it (PULSE_SINK) while it exists.
class PrivateSink {
public:
    // `tag` tells the sinks of one process apart; `description` is what device lists show (no
    // spaces).
    explicit PrivateSink(const QString& tag = "sink", const QString& description = {})
        : name_(QString("tarno_%1_%2").arg(tag).arg(QCoreApplication::applicationPid())),
          description_(description.isEmpty() ? name_ : description) {
        const auto out =
            RunTool({"pactl", "load-module", "module-null-sink", "sink_name=" + name_.toStdString(),
                     "sink_properties=device.description=" + description_.toStdString()});
        if (out)
            module_ = QString::fromStdString(*out).trimmed();
        if (!module_.isEmpty())
            qputenv("PULSE_SINK", name_.toUtf8());
    }
    ~PrivateSink() {
        qunsetenv("PULSE_SINK");
        if (!module_.isEmpty())
            RunTool({"pactl", "unload-module", module_.toStdString()});
    }
    PrivateSink(const PrivateSink&) = delete;
    PrivateSink& operator=(const PrivateSink&) = delete;

    bool Ok() const { return !module_.isEmpty(); }
    QString Name() const { return name_; }
    QString Monitor() const { return name_ + ".monitor"; }
    // As device lists show the monitor.
    QString MonitorDescription() const { return "Monitor of " + description_; }

private:
    QString name_;
    QString description_;
    QString module_;
};
