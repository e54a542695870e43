#pragma once

// A null sink of one test alone on the live test server, so that other tests playing at the same
// time do not mix into what this test hears, and a test may change its volume freely. Streams
// opened without a device go to it (PULSE_SINK) while it exists. Needs pactl and PULSE_SERVER.

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QtGlobal>

class PrivateSink {
public:
    // `tag` tells the sinks of one process apart; `description` is what device lists show.
    explicit PrivateSink(const QString& tag = "sink", const QString& description = {})
        : name_(QString("tarno_%1_%2").arg(tag).arg(QCoreApplication::applicationPid())),
          description_(description.isEmpty() ? name_ : description) {
        QProcess pactl;
        pactl.start("pactl", {"load-module", "module-null-sink", "sink_name=" + name_,
                              "sink_properties=device.description=" + description_});
        if (pactl.waitForFinished(10000) && pactl.exitCode() == 0)
            module_ = QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
        if (!module_.isEmpty())
            qputenv("PULSE_SINK", name_.toUtf8());
    }
    ~PrivateSink() {
        qunsetenv("PULSE_SINK");
        if (!module_.isEmpty())
            QProcess::execute("pactl", {"unload-module", module_});
    }
    PrivateSink(const PrivateSink&) = delete;
    PrivateSink& operator=(const PrivateSink&) = delete;

    bool Ok() const { return !module_.isEmpty(); }
    QString Name() const { return name_; }
    QString Monitor() const { return name_ + ".monitor"; }
    // As device lists show the monitor (description has no spaces).
    QString MonitorDescription() const { return "Monitor of " + description_; }

private:
    QString name_;
    QString description_;
    QString module_;
};
