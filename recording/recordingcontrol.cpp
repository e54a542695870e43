#include "recordingcontrol.h"

#include "appstate.h"
#include "componenterror.h"
#include "formatcatalogue.h"
#include "ports.h"
#include "prompts.h"
#include "settingstable.h"
#include "taudiofile2.h"
#include "taudiorecord2.h"
#include "tinifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>
#include <utility>

namespace {
constexpr int kDiskCheckMs = 60 * 1000;
// While paused, the time display is shown and hidden in turn: a blink about once a second.
constexpr int kPausedBlinkMs = 500;
constexpr int kBlockMs = 300;
constexpr settings::Reader kStart = settings::Reader::RecordingStart;
} // namespace

RecordingControl::RecordingControl(const RecordingParts& parts)
    : p_(parts), encoder_(parts.ini, parts.fileWrite, parts.lameEnc, parts.display, parts.prompts,
                          parts.settingsDialog),
      tagWriter_(parts.ini, parts.information), clock_([] { return QDateTime::currentDateTime(); }),
      inhibitor_(&noInhibitor_), diskWatch_(systemFreeSpace_, parts.prompts) {
    diskTimer_.setInterval(kDiskCheckMs);
    connect(&diskTimer_, &QTimer::timeout, this,
            [this] { HandleFailures(failureHandler_, [this] { CheckDiskSpace(); }); });
    pausedBlink_.setInterval(kPausedBlinkMs);
    connect(&pausedBlink_, &QTimer::timeout, this, [this] {
        timeShown_ = !timeShown_;
        p_.display.SetVisible("s_time", timeShown_, true);
    });
}

void RecordingControl::ShowPaused(bool paused) {
    if (paused == pausedBlink_.isActive())
        return;
    if (paused) {
        pausedBlink_.start();
    } else {
        pausedBlink_.stop();
        if (!timeShown_)
            p_.display.SetVisible("s_time", true, true);
    }
    timeShown_ = true;
}

RecordingControl::~RecordingControl() {
    if (inhibited_)
        inhibitor_->Release();
}

void RecordingControl::SetClock(Clock clock) {
    clock_ = std::move(clock);
}

void RecordingControl::SetFreeSpaceSource(const FreeSpaceSource& source) {
    diskWatch_.SetSource(source);
}

void RecordingControl::SetSleepInhibitor(SleepInhibitor& inhibitor) {
    inhibitor_ = &inhibitor;
}

void RecordingControl::SetDiskCheckInterval(int ms) {
    diskTimer_.setInterval(ms);
}

void RecordingControl::SetFailureHandler(FailureHandler handler) {
    failureHandler_ = std::move(handler);
}

template <class Call> void RecordingControl::Capture(Call&& call) {
    ++inCapture_;
    try {
        call();
    } catch (...) {
        --inCapture_;
        eventFailure_ = nullptr; // the call's own failure comes first
        throw;
    }
    --inCapture_;
    if (eventFailure_)
        std::rethrow_exception(std::exchange(eventFailure_, nullptr));
}

template <class Work> void RecordingControl::FromEvent(Work&& work) {
    if (inCapture_ == 0) {
        HandleFailures(failureHandler_, work);
        return;
    }
    try {
        work();
    } catch (...) {
        if (!eventFailure_)
            eventFailure_ = std::current_exception();
    }
}

QString RecordingControl::TimeStampName(const QDateTime& when) {
    // The month comes first, then the minute: "dd-MM--HH;mm;ss" in Qt's notation.
    return when.toString(QStringLiteral("dd-MM--HH;mm;ss"));
}

QString RecordingControl::OverwriteQuestion(const QString& path) {
    return QFileInfo(path).fileName() + "File has existed. Overwrite?";
}

QString RecordingControl::LostAudioText(std::int64_t lostMs, const QString& fileName) {
    QString amount;
    if (lostMs < 1000)
        amount = QString::number(std::max<std::int64_t>(lostMs, 1)) + " ms";
    else
        amount = QString::number(static_cast<double>(lostMs) / 1000.0, 'f', 1) + " seconds";
    return amount + " of audio could not be recorded into " + fileName +
           ": the computer did not keep up with the sound input, so the recording has gaps.";
}

void RecordingControl::CheckDiskSpace() {
    if (!p_.state.recording)
        return;
    diskWatch_.Check(QFileInfo(p_.state.out_file_name).absolutePath(), encoder_.BytesPerMinute());
}

void RecordingControl::StartRecording() {
    AppState& s = p_.state;

    // The dialog's choices are what this recording is made with; a refused choice keeps the
    // stored settings and does not stop the start.
    if (!s.recording && !s.record_paused)
        p_.settingsDialog.SaveSettings();

    if (s.record_paused) {
        s.record_paused = false;
        ShowPaused(false);
        Capture([this] { p_.record.StartCapture(); });
        TellFallback();
        return;
    }
    if (s.recording)
        return;
    if (s.playing) {
        p_.prompts.Information("Please stop playing first.");
        return;
    }

    const bool userNamed = settings::ReadBool(p_.ini, settings::kOutputName, kStart);
    int format = settings::ReadInteger(p_.ini, settings::kOutputFormat, kStart);
    // A hand-edited format outside the list records in the format the read defaults to, rather
    // than reusing the previous file name with a stale configuration.
    if (!catalogue::IsOutputFormat(format))
        format = catalogue::Mp3;

    if (userNamed) {
        const QString chosen = p_.prompts.SaveFileName(catalogue::SaveFilter(format));
        if (chosen.isEmpty())
            return;
        s.out_file_name = chosen + catalogue::Extension(format);
        if (!encoder_.ConfigureFormat(format, true))
            return;
    } else {
        QString dir =
            settings::ReadString(p_.ini, settings::kOutputDir, kStart, p_.defaultOutputDir);
        if (!dir.endsWith('/'))
            dir += '/';
        QDir().mkdir(dir); // one level; a folder still missing makes CreateForWrite fail
        s.out_file_name = dir + TimeStampName(clock_()) + catalogue::Extension(format);
        if (!encoder_.ConfigureFormat(format, false))
            return;
    }

    if (p_.fileWrite.IsOpen())
        p_.fileWrite.CloseFile();

    if (QFileInfo::exists(s.out_file_name)) {
        if (!p_.prompts.YesNo(OverwriteQuestion(s.out_file_name))) {
            s.sample_base = 0;
            return;
        }
        QFile::setPermissions(s.out_file_name, QFile::permissions(s.out_file_name) |
                                                   QFileDevice::ReadOwner |
                                                   QFileDevice::WriteOwner);
    }

    diskWatch_.Begin();
    diskWatch_.Check(QFileInfo(s.out_file_name).absolutePath(), encoder_.BytesPerMinute());

    p_.fileWrite.CreateForWrite(s.out_file_name, 0);

    s.sample_pos = 0;
    s.recording = true;
    s.record_paused = false;
    writeFailed_ = false;
    if (!inhibited_) {
        inhibitor_->Inhibit("Recording " + QFileInfo(s.out_file_name).fileName());
        inhibited_ = true;
    }
    diskTimer_.start();

    p_.display.ShowDisplay(true);
    p_.display.SetText("s_filename", QFileInfo(s.out_file_name).fileName().replace(';', ':'));

    Capture([this] {
        p_.record.SetFormat(p_.fileWrite.GetFormatHandle(), p_.fileWrite.GetFormatParam());
    });
    s.block_size = p_.record.CalcBufferSize(kBlockMs);
    p_.record.SetBufferSize(s.block_size);
    Capture([this] { p_.record.StartCapture(); });

    if (p_.record.GetErrorCode() != 0) {
        // The capture did not start: nothing was recorded, so no file is left behind or listed,
        // and the user is told why.
        const QString why = p_.record.GetErrorText();
        AbandonStart();
        p_.prompts.Information(why.isEmpty() ? QStringLiteral("The recording could not start.")
                                             : "The recording could not start: " + why);
        return;
    }
    TellFallback();
}

void RecordingControl::TellFallback() {
    const QString notice = p_.record.TakeFallbackNotice();
    if (notice.isEmpty())
        return;
    // The input now in use is stored, so the settings and the next start agree with it.
    settings::WriteInteger(p_.ini, settings::kRecordingDevice, p_.record.GetSelectedDevice());
    p_.prompts.Information(notice);
}

void RecordingControl::AbandonStart() {
    AppState& s = p_.state;
    s.sample_base = 0;
    Capture([this] { p_.record.StopCapture(); });
    p_.fileWrite.CloseFile();
    QFile::remove(s.out_file_name);
    ReturnToIdle();
}

void RecordingControl::ReturnToIdle() {
    AppState& s = p_.state;
    s.recording = false;
    s.stopping = false;
    s.record_paused = false;
    ShowPaused(false);
    p_.display.StopMeters();
    diskTimer_.stop();
    if (inhibited_) {
        inhibitor_->Release();
        inhibited_ = false;
    }
    p_.display.SetText("s_time", "00:00:00");
    p_.display.ShowDisplay(false);
}

void RecordingControl::StopRecording() {
    AppState& s = p_.state;
    const bool wasOpen = s.recording || s.record_paused;
    std::exception_ptr failure;
    auto attempt = [&failure](auto&& step) {
        try {
            step();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    };

    // The file is closed even when the last block could not be written. The capture's last
    // timer event still counts from the base of the current stretch.
    attempt([&] { Capture([this] { p_.record.StopCapture(); }); });
    s.sample_base = 0;
    attempt([&] { p_.fileWrite.CloseFile(); });
    s.stopping = true;

    std::int64_t lostMs = 0;
    if (wasOpen) {
        attempt([&] {
            // The list reads the final time from "s_time", so this comes before the reset below.
            p_.list.AddToList();
            tagWriter_.WriteTags(s.out_file_name);
        });
        attempt([&] {
            const std::int64_t lost = p_.record.LostFrames();
            if (lost > 0)
                lostMs = p_.record.SamplesToMs(lost);
        });
    }

    ReturnToIdle();

    if (lostMs > 0)
        p_.prompts.Information(LostAudioText(lostMs, QFileInfo(s.out_file_name).fileName()));
    if (failure)
        std::rethrow_exception(failure);
}

void RecordingControl::ToggleRecordPause() {
    AppState& s = p_.state;
    if (!s.record_paused) {
        // The capture's last timer event moves the time on to the frames of the last block;
        // the next stretch counts from there.
        Capture([this] { p_.record.StopCapture(); });
        s.sample_base = s.sample_pos;
        // After the capture's last values: the meters' falling peaks go on by themselves.
        p_.display.StopMeters();
    } else {
        Capture([this] { p_.record.StartCapture(); });
    }
    s.record_paused = !s.record_paused;
    ShowPaused(s.record_paused);
}

void RecordingControl::AudioRecord1Timer(qint64 CurrentSamples, int LevelLeft, int LevelRight) {
    FromEvent([&] {
        AppState& s = p_.state;
        s.sample_pos = s.sample_base + static_cast<std::int64_t>(CurrentSamples);
        const QString time = FormatElapsed(p_.record.SamplesToMs(s.sample_pos));
        p_.display.SetMeters(LevelLeft, LevelRight);
        p_.display.SetText("s_time", time);
    });
}

void RecordingControl::AudioRecord1EndArrayRecord(int /*nBlock*/) {
    FromEvent([this] { WriteRecordedBlock(); });
}

void RecordingControl::WriteRecordedBlock() {
    const Block block = p_.record.GetRecordedBlock();
    if (UpperBound(block) < 1 || writeFailed_)
        return;
    try {
        p_.fileWrite.WriteBlock(block);
    } catch (...) {
        writeFailed_ = true;
        throw;
    }

    const QString& path = p_.state.out_file_name;
    // One stat answers both: the size first, then whether the file is there from what it read.
    const QFileInfo info(path);
    const qint64 bytes = info.size();
    if (!info.exists())
        throw ComponentError("Cannot read the size of " + path.toStdString() +
                             ": the file is gone");
    const std::int64_t kb = static_cast<std::int64_t>(bytes) / 1024;
    p_.display.SetTextWithNextRedraw("s_sizeson", QString::number(kb) + " KB");
}
