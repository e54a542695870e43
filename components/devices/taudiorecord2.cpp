#include "taudiorecord2.h"

#include "audiobackend.h"
#include "componenterror.h"
#include "failurehandler.h"
#include "pcmformat.h"
#include "peaklevels.h"
#include "uiwake.h"

#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <limits>
#include <optional>
#include <thread>

namespace {

// The meters and the time move in steps of this much audio, whatever pieces the server hands
// the audio over in.
constexpr int kMeterStepMs = 50;
// A step that comes sooner than this after the previous one waits for the rest of its 50 ms; the
// margin shows a step per 50 ms fragment at once despite jitter.
constexpr int kTimerEventMs = 45;
const char* const kDefaultInputName = "Default input";
// While the step timer reads the audio, a step that finds none waiting looks again this soon:
// the fragment is due about now.
constexpr int kLateFragmentRetryMs = 10;
// The step timer stops reading after this long without audio (a paused or stalled server); the
// sound thread's wakes take over again.
constexpr std::int64_t kPaceIdleMs = 150;
// The longest a stop waits for audio still in flight from the server.
constexpr std::int64_t kInFlightWaitMs = 500;

} // namespace

struct TAudioRecord2::Impl {
    TAudioRecord2* q = nullptr;
    std::shared_ptr<AudioBackend> backend;

    std::vector<AudioSource> devices; // as listed by the latest GetMaxDeviceIndex
    // The selected device: its index in `devices` (or devices.size() for "Default input", or
    // kGone), and its server name and description (empty for "Default input").
    static constexpr int kGone = -2;
    int device = -1;
    std::string selectedName;
    std::string selectedDescription;
    std::string fallbackNotice;
    std::unique_ptr<UiWake> devicesWake;
    int line = 0;

    std::optional<PcmFormat> format;
    int blockBytes = 0;

    std::unique_ptr<CaptureStream> stream;
    Block pending;   // captured, not yet handed out
    Block announced; // the block of the latest OnEndArrayRecord
    int blockCount = 0;
    std::int64_t current = 0;
    std::int64_t startedMs = 0; // when the stream began to run

    // The audio read is measured in steps of kMeterStepMs, counted from the start of the
    // capture. A complete step waits in `steps` until OnTimer shows it: when a wake brings
    // several steps, they follow one by one, kMeterStepMs apart, so the meters move as evenly as
    // the audio came in (see ShowDueSteps).
    struct Step {
        std::int64_t frames = 0; // `current` at the step's end
        int left = 0, right = 0;
    };
    std::deque<Step> steps;
    std::int64_t stepsMeasured = 0;
    PeakLevels peaks; // of the step being filled
    std::int64_t lastTimerMs = 0;
    std::int64_t framesShown = 0; // of the latest OnTimer
    QTimer stepTimer;             // single shot: the next held step is due
    // While steps flow from a stream that hands over fragments, `stepTimer` reads the audio too
    // and the sound thread's wakes are only counted (see ShowDueSteps): one wake-up per step.
    bool pacing = false;
    std::int64_t lastAudioMs = 0; // when ReadAll last found audio
    int errorCode = 0;
    std::string errorText;
    std::int64_t lostBefore = 0; // frames lost by streams already closed

    std::unique_ptr<UiWake> wake;
    bool processing = false;
    std::vector<std::uint8_t> scratch;
    FailureHandler failureHandler;

    PcmFormat Format() const { return format.value_or(PcmFormat{}); }

    std::string SourceName() const {
        return selectedName.empty() ? std::string(AudioBackend::kDefaultSource) : selectedName;
    }

    // Finds the selected device in a new list by its server name.
    void Remap() {
        if (selectedName.empty()) {
            device = static_cast<int>(devices.size());
            return;
        }
        device = kGone;
        for (std::size_t i = 0; i < devices.size(); ++i)
            if (devices[i].name == selectedName)
                device = static_cast<int>(i);
    }

    // A selected device that the server no longer has gives way to "Default input".
    void FallBackIfGone() {
        if (selectedName.empty())
            return;
        try {
            if (backend->Source(selectedName))
                return;
        } catch (const ComponentError&) {
            return; // no answer from the server: the start fails with its own message
        }
        fallbackNotice = "The input \"" + selectedDescription +
                         "\" is no longer connected, so this recording comes from \"" +
                         kDefaultInputName + "\".";
        selectedName.clear();
        selectedDescription.clear();
        q->GetMaxDeviceIndex(); // the list as it is now, so the index of "Default input" holds
        emit q->OnDevicesChanged();
    }

    std::optional<AudioSource> SelectedSource() {
        try {
            return backend->Source(SourceName());
        } catch (const ComponentError&) {
            return std::nullopt; // no server: the start-up lists stay empty
        }
    }

    int BlockBytes() const {
        const int bpf = Format().BytesPerFrame();
        const int bytes = blockBytes > 0 ? blockBytes : bpf * Format().rate * 300 / 1000;
        return std::max(bpf, bytes / bpf * bpf);
    }

    // Where the step after `steps` whole steps ends: on the millisecond, so that a second holds
    // twenty steps at every rate (22050 Hz gives steps of 1102 and 1103 frames).
    std::int64_t StepEnd(std::int64_t index) const {
        return std::max<std::int64_t>(index + 1, (index + 1) * Format().rate * kMeterStepMs / 1000);
    }

    // Moves everything the stream holds into `pending`, counting frames and measuring steps.
    void ReadAll() {
        if (!stream)
            return;
        const PcmFormat f = Format();
        const std::size_t bpf = f.BytesPerFrame();
        scratch.resize(std::max<std::size_t>(64 * 1024, bpf));
        for (;;) {
            const std::size_t n = stream->Read(scratch.data(), scratch.size());
            if (n == 0)
                break;
            lastAudioMs = backend->NowMs();
            pending.insert(pending.end(), scratch.begin(), scratch.begin() + n);
            for (std::size_t at = 0; at < n;) {
                const std::int64_t end = StepEnd(stepsMeasured);
                const std::int64_t frames = std::min<std::int64_t>(
                    end - current, static_cast<std::int64_t>((n - at) / bpf));
                peaks.Add(scratch.data() + at, static_cast<std::size_t>(frames) * bpf, f);
                current += frames;
                at += static_cast<std::size_t>(frames) * bpf;
                if (current == end) {
                    const auto [left, right] = peaks.Take();
                    steps.push_back({current, left, right});
                    ++stepsMeasured;
                }
            }
        }
    }

    // One OnTimer for the oldest `count` waiting steps (the loudest of them).
    void ShowSteps(std::size_t count) {
        if (count == 0)
            return;
        Step shown;
        for (std::size_t i = 0; i < count; ++i) {
            shown.frames = steps.front().frames;
            shown.left = std::max(shown.left, steps.front().left);
            shown.right = std::max(shown.right, steps.front().right);
            steps.pop_front();
        }
        lastTimerMs = backend->NowMs();
        framesShown = shown.frames;
        emit q->OnTimer(shown.frames, shown.left, shown.right);
    }

    // The steps that are due. A server hands its fragments over in pieces of its own choosing
    // (a null sink's monitor 80 ms, PipeWire its quantum), and the reader is woken about once per
    // fragment, so a wake brings one to three steps or more. The steps are shown one by one, 50 ms
    // apart (`waited`: `stepTimer` says the time has come), so the meters move evenly; at most a
    // fragment and a half waits, what came before that is shown at once in one event. A stream
    // that tells no fragment (the simulated server) has everything shown at once.
    //
    // Once steps wait for the timer, the timer reads the audio as well (`pacing`), and the sound
    // thread's wakes are no longer listened to: a fragment that came between two steps would
    // otherwise cost a wake-up of its own, often just before the step that shows it. A step that
    // finds nothing to show looks again kLateFragmentRetryMs later, which puts the steps just
    // after the fragments; after kPaceIdleMs without audio the wakes take over again.
    void ShowDueSteps(bool waited) {
        const std::int64_t stepFrames = StepEnd(0);
        const std::int64_t fragment = stream ? stream->FragmentFrames().now : 0;
        bool shown = false;
        if (!steps.empty()) {
            const auto most =
                fragment > 0
                    ? static_cast<std::size_t>((fragment + stepFrames / 2) / stepFrames) + 1
                    : std::size_t{0};
            const std::int64_t since = backend->NowMs() - lastTimerMs;
            if (steps.size() > most + 1) {
                ShowSteps(steps.size() - most);
                shown = true;
            } else if (waited || since >= kTimerEventMs || framesShown == 0) {
                ShowSteps(1);
                shown = true;
            }
        }
        const std::int64_t now = backend->NowMs();
        if (stream && fragment > 0 && (pacing || !steps.empty())) {
            if (!shown && steps.empty() && now - lastAudioMs > kPaceIdleMs) {
                Pace(false);
                stepTimer.stop();
                return;
            }
            Pace(true);
            const std::int64_t wait =
                !shown && steps.empty() ? kLateFragmentRetryMs : kMeterStepMs - (now - lastTimerMs);
            stepTimer.start(static_cast<int>(std::clamp<std::int64_t>(wait, 1, kMeterStepMs)));
            return;
        }
        Pace(false);
        if (steps.empty()) {
            stepTimer.stop();
            return;
        }
        const std::int64_t wait = kMeterStepMs - (now - lastTimerMs);
        stepTimer.start(static_cast<int>(std::clamp<std::int64_t>(wait, 1, kMeterStepMs)));
    }

    void Pace(bool on) {
        if (pacing == on)
            return;
        pacing = on;
        wake->SetListening(!on);
    }

    // What `stepTimer` runs: the audio first while pacing, then the step that is due.
    void OnStepTimer() {
        if (!pacing) {
            ShowDueSteps(true);
            return;
        }
        if (processing) {
            // A slot of this reader turns the event loop (a message box): look again later.
            stepTimer.start(kMeterStepMs);
            return;
        }
        Process(true);
    }

    // At a stop: everything read so far, the part of a step included, in one last OnTimer.
    void ShowEverything() {
        stepTimer.stop();
        if (current == framesShown)
            return;
        const auto [left, right] = peaks.Take();
        steps.push_back({current, left, right});
        ShowSteps(steps.size());
    }

    // The audio captured up to now that is still on its way through the server is part of the
    // recording: wait for it (about one server latency, at most kInFlightWaitMs).
    void AwaitInFlight() {
        if (!stream || !stream->Error().empty())
            return;
        const std::int64_t inFlight = stream->InFlightFrames();
        if (inFlight <= 0)
            return;
        // A server may report more latency than it holds (pipewire-pulse does at low rates), so
        // the wait never takes the recording past the time the stream has been running: what
        // arrives beyond that was captured after the stop.
        const std::int64_t read = current;
        const std::int64_t byClock = (backend->NowMs() - startedMs) * Format().rate / 1000;
        const std::int64_t target = std::max(read, std::min(read + inFlight, byClock));
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(std::min<std::int64_t>(
                                  kInFlightWaitMs, FramesToMs(inFlight, Format().rate) + 100));
        while (current < target && std::chrono::steady_clock::now() < deadline &&
               stream->Error().empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ReadAll();
        }
        // The server hands over whole fragments: the part past the stop goes again. It was read
        // during this wait, so it is the end of `pending`.
        const std::int64_t excess = current - std::max(read, target);
        if (excess > 0) {
            const std::size_t bytes = static_cast<std::size_t>(excess) * Format().BytesPerFrame();
            pending.resize(pending.size() - std::min(bytes, pending.size()));
            current -= excess;
        }
    }

    void CloseStream() {
        Pace(false);
        if (!stream)
            return;
        lostBefore += stream->LostFrames();
        stream.reset();
    }

    void Announce(Block block) {
        announced = std::move(block);
        emit q->OnEndArrayRecord(++blockCount);
    }

    // Hands out every full block. A slot may stop the capture meanwhile, which flushes the rest.
    void EmitFullBlocks() {
        const std::size_t size = BlockBytes();
        while (pending.size() >= size) {
            Block block(pending.begin(), pending.begin() + size);
            pending.erase(pending.begin(), pending.begin() + size);
            Announce(std::move(block));
        }
    }

    // Reads and hands out what the stream has, then shows the steps that are due (`waited`: the
    // step timer's turn).
    void Process(bool waited) {
        if (processing || !stream)
            return;
        processing = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{processing};

        ReadAll();
        const std::string failure = stream->Error();
        if (!failure.empty()) {
            ReadAll(); // what arrived before the failure still goes to the file
            CloseStream();
        }
        EmitFullBlocks();
        if (!failure.empty())
            throw ComponentError(failure);
        if (stream)
            ShowDueSteps(waited);
    }

    // What the event loop runs: the wake-ups, the held steps and the device watch.
    void FromEventLoop(const std::function<void()>& work) { HandleFailures(failureHandler, work); }

    WakeFunction MakeWake() { return wake->Function(); }
};

TAudioRecord2::TAudioRecord2(std::shared_ptr<AudioBackend> backend, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>()) {
    d_->q = this;
    d_->backend = std::move(backend);
    d_->wake =
        std::make_unique<UiWake>([this]() { d_->FromEventLoop([this] { d_->Process(false); }); });
    d_->devicesWake = std::make_unique<UiWake>(
        [this]() { d_->FromEventLoop([this] { emit OnDevicesChanged(); }); });
    d_->backend->WatchDevices(d_->devicesWake->Function());
    d_->stepTimer.setSingleShot(true);
    d_->stepTimer.setTimerType(Qt::PreciseTimer);
    connect(&d_->stepTimer, &QTimer::timeout, this,
            [this]() { d_->FromEventLoop([this] { d_->OnStepTimer(); }); });
}

TAudioRecord2::~TAudioRecord2() {
    // The stream goes first, so the backend's thread wakes nobody afterwards.
    d_->stream.reset();
    d_->backend->WatchDevices(nullptr);
}

void TAudioRecord2::SetFailureHandler(FailureHandler handler) {
    d_->failureHandler = std::move(handler);
}

std::int16_t TAudioRecord2::GetMaxDeviceIndex() {
    try {
        d_->devices = d_->backend->Sources();
    } catch (const ComponentError&) {
        d_->devices.clear(); // no server: "Default input" alone, which then fails to start
    }
    const int max = std::numeric_limits<std::int16_t>::max() - 1;
    if (static_cast<int>(d_->devices.size()) > max)
        d_->devices.resize(max);
    d_->Remap();
    return static_cast<std::int16_t>(d_->devices.size());
}

void TAudioRecord2::SelectDevice(int index) {
    const bool listed = index >= 0 && index < static_cast<int>(d_->devices.size());
    d_->device = listed ? index : static_cast<int>(d_->devices.size());
    d_->selectedName = listed ? d_->devices[index].name : std::string();
    d_->selectedDescription = listed ? d_->devices[index].description : std::string();
    d_->line = 0;
}

QString TAudioRecord2::GetDeviceName() {
    if (d_->device == Impl::kGone)
        return QString::fromStdString(d_->selectedDescription);
    return DeviceName(d_->device);
}

QString TAudioRecord2::DeviceName(int index) const {
    if (index >= 0 && index < static_cast<int>(d_->devices.size()))
        return QString::fromStdString(d_->devices[index].description);
    return QString::fromLatin1(kDefaultInputName);
}

int TAudioRecord2::GetSelectedDevice() const {
    return d_->device == Impl::kGone ? -1 : d_->device;
}

QString TAudioRecord2::TakeFallbackNotice() {
    QString notice = QString::fromStdString(d_->fallbackNotice);
    d_->fallbackNotice.clear();
    return notice;
}

std::int16_t TAudioRecord2::GetLineCount() {
    const auto source = d_->SelectedSource();
    if (!source)
        return 0;
    return static_cast<std::int16_t>(
        std::min<std::size_t>(source->ports.size(), std::numeric_limits<std::int16_t>::max()));
}

void TAudioRecord2::SelectLine(int line) {
    d_->line = line;
}

QString TAudioRecord2::GetLineName() {
    const auto source = d_->SelectedSource();
    if (!source)
        return {};
    if (d_->line >= 1 && d_->line <= static_cast<int>(source->ports.size()))
        return QString::fromStdString(source->ports[d_->line - 1].description);
    return QString::fromStdString(source->description);
}

bool TAudioRecord2::GetLineActive() {
    const auto source = d_->SelectedSource();
    if (!source)
        return false;
    if (d_->line >= 1 && d_->line <= static_cast<int>(source->ports.size()))
        return source->activePort == d_->line - 1;
    return source->ports.empty() && d_->line == 0;
}

void TAudioRecord2::SetLineActive(bool active) {
    if (!active)
        return; // a port stops being active only when another one becomes active
    const auto source = d_->SelectedSource();
    if (!source || d_->line < 1 || d_->line > static_cast<int>(source->ports.size()))
        return;
    d_->backend->SetActivePort(source->name, source->ports[d_->line - 1].name);
}

int TAudioRecord2::GetLineVolume() {
    const auto source = d_->SelectedSource();
    return source ? source->volume : 0;
}

void TAudioRecord2::SetLineVolume(int volume) {
    const auto source = d_->SelectedSource();
    if (!source)
        return; // no server or no such source: nothing to set, and start-up must go on
    d_->backend->SetSourceVolume(source->name, std::clamp(volume, 0, 65536));
}

void TAudioRecord2::SetFormat(std::int32_t handle, std::int32_t param) {
    const auto format = PcmFormat::FromHandle(handle, param);
    if (!format)
        throw ComponentError("Recording: the format handle " + std::to_string(handle) +
                             " and parameter " + std::to_string(param) + " describe no PCM format");
    if (d_->stream || !d_->pending.empty())
        StopCapture();
    d_->format = format;
    d_->lostBefore = 0;
}

int TAudioRecord2::CalcBufferSize(int ms) {
    const PcmFormat f = d_->Format();
    const std::int64_t frames = static_cast<std::int64_t>(std::max(ms, 0)) * f.rate / 1000;
    const std::int64_t bytes = std::max<std::int64_t>(frames, 1) * f.BytesPerFrame();
    return static_cast<int>(std::min<std::int64_t>(bytes, std::numeric_limits<int>::max()));
}

void TAudioRecord2::SetBufferSize(int bytes) {
    d_->blockBytes = std::max(bytes, 0);
}

void TAudioRecord2::StartCapture() {
    d_->errorCode = 0;
    d_->errorText.clear();
    if (d_->stream)
        return;
    if (!d_->format) {
        d_->errorCode = 1;
        d_->errorText = "Recording: no format was set before the capture started";
        return;
    }
    d_->FallBackIfGone();
    try {
        d_->stream = d_->backend->OpenCapture(d_->SourceName(), *d_->format, d_->MakeWake());
    } catch (const ComponentError& e) {
        d_->errorCode = 1;
        d_->errorText = e.what();
        return;
    }
    d_->current = 0;
    d_->startedMs = d_->backend->NowMs();
    d_->steps.clear();
    d_->stepsMeasured = 0;
    d_->peaks.Take();
    d_->framesShown = 0;
    d_->lastTimerMs = d_->startedMs;
    d_->lastAudioMs = d_->startedMs;
}

void TAudioRecord2::StopCapture() {
    const bool capturing = static_cast<bool>(d_->stream);
    d_->ReadAll();
    d_->AwaitInFlight();
    d_->CloseStream();
    // The frames read since the latest OnTimer count in the time shown as well.
    if (capturing)
        d_->ShowEverything();
    d_->EmitFullBlocks();
    if (!d_->pending.empty()) {
        Block rest;
        rest.swap(d_->pending);
        d_->Announce(std::move(rest));
    }
}

int TAudioRecord2::GetErrorCode() const {
    return d_->errorCode;
}

QString TAudioRecord2::GetErrorText() const {
    return QString::fromStdString(d_->errorText);
}

Block TAudioRecord2::GetRecordedBlock() {
    Block out;
    out.swap(d_->announced);
    return out;
}

std::int64_t TAudioRecord2::SamplesToMs(std::int64_t samples) const {
    return FramesToMs(samples, d_->Format().rate);
}

std::int64_t TAudioRecord2::LostFrames() const {
    return d_->lostBefore + (d_->stream ? d_->stream->LostFrames() : 0);
}
