#pragma once

// The program's recording path with fakes standing in for the windows: the real capture
// component (over the simulated or the PulseAudio backend), the real file, encoder and tag
// components, the real settings store, and a stand-in for the application's exception handler.

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

#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <exception>
#include <functional>
#include <memory>

// Records every display call in order ("text s_time=00:00:01", "show 1", ...).
class RigDisplay : public MainDisplay {
public:
    void SetText(const QString& element, const QString& text) override {
        texts[element] = text;
        log << "text " + element + "=" + text;
    }
    QString GetText(const QString& element) const override { return texts.value(element); }
    void SetVisible(const QString& element, bool visible, bool) override {
        if (visible)
            hidden.remove(element);
        else
            hidden.insert(element);
        log << QString("visible %1=%2").arg(element).arg(visible ? 1 : 0);
    }
    int GetPosition(const QString&) const override { return 0; }
    void SetPosition(const QString&, int) override {}
    void ShowDisplay(bool visible) override {
        shown = visible;
        log << QString("show %1").arg(visible ? 1 : 0);
    }
    void SetProgressWidth(int) override {}
    int PlayBarPixels() const override { return 0; }
    void SetMeters(int left, int right) override {
        meterLeft = left;
        meterRight = right;
        ++meterCalls;
    }
    void StopMeters() override {
        ++meterStops;
        meterCallsAtStop = meterCalls;
    }

    QMap<QString, QString> texts;
    QSet<QString> hidden;
    QStringList log;
    bool shown = false;
    int meterLeft = -1, meterRight = -1, meterCalls = 0;
    // How often the meters were told that values stop, and how many values they had then.
    int meterStops = 0, meterCallsAtStop = -1;
};

// Answers the dialogs from a script and keeps every text shown.
class RigPrompts : public Prompts {
public:
    void Information(const QString& text) override {
        messages << text;
        if (onInformation)
            onInformation(text);
    }
    bool YesNo(const QString& text) override {
        questions << text;
        if (yesNo.empty())
            return false;
        const bool answer = yesNo.front();
        yesNo.pop_front();
        return answer;
    }
    QString SaveFileName(const QString& filter) override {
        saveFilters << filter;
        if (saveNames.empty())
            return {};
        const QString name = saveNames.front();
        saveNames.pop_front();
        return name;
    }
    QStringList OpenFileNames(const QString&) override { return {}; }

    QStringList messages, questions, saveFilters;
    std::deque<bool> yesNo;
    std::deque<QString> saveNames;
    std::function<void(const QString&)> onInformation;
};

class RigDialog : public SettingsDialogPort {
public:
    void SaveSettings() override { ++saves; }
    QString WmaEntryText() const override { return wmaText; }
    int saves = 0;
    QString wmaText = " 44KHz, 128Kbps, Stereo, CBR";
};

// The list's part in a stop: what the list window appends for the recording just stopped.
class RigList : public RecordingsList {
public:
    struct Entry {
        QString name, time, date, path;
    };
    RigList(AppState& state, MainDisplay& display) : state_(state), display_(display) {}
    void AddToList() override {
        ++calls;
        if (!state_.stopping)
            return;
        entries.push_back({QFileInfo(state_.out_file_name).fileName(), display_.GetText("s_time"),
                           QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat),
                           state_.out_file_name});
    }
    int Count() const override { return static_cast<int>(entries.size()); }
    int FirstSelected() const override { return Count() - 1; }
    void DeselectAll() override {}
    void Select(int) override {}
    QString Path(int index) const override { return entries.at(index).path; }

    std::vector<Entry> entries;
    int calls = 0;

private:
    AppState& state_;
    MainDisplay& display_;
};

class RigInhibitor : public SleepInhibitor {
public:
    void Inhibit(const QString&) override {
        ++held;
        ++inhibits;
    }
    void Release() override { --held; }
    int held = 0, inhibits = 0;
};

struct RecordingRig {
    explicit RecordingRig(std::shared_ptr<AudioBackend> backend)
        : ini(QDir::homePath() + "/config/tarnoRecord.ini", QLocale::system()),
          list(state, display), record(std::move(backend)),
          outDir(QDir::homePath() + "/My Recorder"),
          control(RecordingParts{state, ini, prompts, display, dialog, list, record, fileWrite,
                                 lameEnc, information, outDir}) {
        QDir().mkpath(QDir::homePath() + "/config");
        control.SetSleepInhibitor(inhibitor);
        // As the program wires it: the capture events straight to the control, and what fails
        // in an event to the one handler.
        QObject::connect(&record, &TAudioRecord2::OnTimer, &control,
                         &RecordingControl::AudioRecord1Timer);
        QObject::connect(&record, &TAudioRecord2::OnEndArrayRecord, &control,
                         &RecordingControl::AudioRecord1EndArrayRecord);
        const FailureHandler handler = [this](const std::exception& e) { Handle(e); };
        control.SetFailureHandler(handler);
        record.SetFailureHandler(handler);
    }

    // What the application's exception handler does with an error that escaped an operation or
    // an event: show its message, then stop a running recording (whose own errors are shown the
    // same way).
    void Handle(const std::exception& e) {
        ++handled;
        prompts.Information(QString::fromStdString(e.what()));
        if (state.recording)
            Guard([this] { control.StopRecording(); });
    }
    void Guard(const std::function<void()>& action) {
        try {
            action();
        } catch (const std::exception& e) {
            Handle(e);
        }
    }

    // Runs an operation the way the main window calls it, letting its error out to the caller.
    void Unguarded(const std::function<void()>& action) { action(); }

    void Start() {
        Guard([this] { control.StartRecording(); });
    }
    void Stop() {
        Guard([this] { control.StopRecording(); });
    }
    void Pause() {
        Guard([this] { control.ToggleRecordPause(); });
    }

    AppState state;
    TIniFile ini;
    RigDisplay display;
    RigPrompts prompts;
    RigDialog dialog;
    RigList list;
    RigInhibitor inhibitor;
    TAudioRecord2 record;
    TAudioFile2 fileWrite;
    TAudioFile2LameEnc lameEnc;
    TAudioInformation2 information;
    QString outDir;
    RecordingControl control;
    int handled = 0; // failures that reached the handler
};

// Runs the Qt event loop for `ms` milliseconds of real time.
inline void SpinFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
