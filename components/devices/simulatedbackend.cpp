#include "simulatedbackend.h"

#include "componenterror.h"
#include "ringbuffer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <span>

namespace {

constexpr int kDefaultStepMs = 10;
// A tone whose period is at most this many frames is produced from one stored period.
constexpr std::int64_t kMaxTablePeriod = 1 << 16;

std::size_t BufferBytes(const PcmFormat& f, int ms) {
    return static_cast<std::size_t>(std::max<std::int64_t>(
        static_cast<std::int64_t>(f.rate) * ms / 1000 * f.BytesPerFrame(), f.BytesPerFrame()));
}

} // namespace

void EncodeSample(double value, SampleType type, std::uint8_t* dst) {
    value = std::clamp(value, -1.0, 1.0);
    switch (type) {
    case SampleType::U8:
        dst[0] = static_cast<std::uint8_t>(std::lround(value * 127.0) + 128);
        return;
    case SampleType::S16: {
        const auto v = static_cast<std::int16_t>(std::lround(value * 32767.0));
        dst[0] = static_cast<std::uint8_t>(v & 0xff);
        dst[1] = static_cast<std::uint8_t>((v >> 8) & 0xff);
        return;
    }
    case SampleType::S24: {
        const auto v = static_cast<std::int32_t>(std::lround(value * 8388607.0));
        dst[0] = static_cast<std::uint8_t>(v & 0xff);
        dst[1] = static_cast<std::uint8_t>((v >> 8) & 0xff);
        dst[2] = static_cast<std::uint8_t>((v >> 16) & 0xff);
        return;
    }
    case SampleType::S32: {
        const auto v = static_cast<std::int32_t>(std::llround(value * 2147483647.0));
        for (int i = 0; i < 4; ++i)
            dst[i] = static_cast<std::uint8_t>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xff);
        return;
    }
    }
}

double DecodeSample(SampleType type, const std::uint8_t* src) {
    switch (type) {
    case SampleType::U8:
        return (static_cast<int>(src[0]) - 128) / 128.0;
    case SampleType::S16:
        return static_cast<std::int16_t>(src[0] | (src[1] << 8)) / 32768.0;
    case SampleType::S24: {
        std::int32_t v = src[0] | (src[1] << 8) | (src[2] << 16);
        if (v & 0x800000)
            v -= 0x1000000;
        return v / 8388608.0;
    }
    case SampleType::S32: {
        const std::uint32_t u =
            src[0] | (src[1] << 8) | (src[2] << 16) | (static_cast<std::uint32_t>(src[3]) << 24);
        return static_cast<std::int32_t>(u) / 2147483648.0;
    }
    }
    return 0.0;
}

class SimCapture;
class SimPlayback;

struct SimulatedBackend::State {
    std::int64_t manualMs = 0;

    struct ScriptedSource {
        AudioSource info;
        double frequency = 440.0;
    };
    std::vector<ScriptedSource> sources;
    std::string defaultSource;
    std::vector<AudioSink> sinks;
    WakeFunction devicesChanged;

    void DevicesChanged() const {
        if (devicesChanged)
            devicesChanged();
    }

    bool serverAvailable = true;
    int failAfterMs = -1;
    int bufferMs = 10000;
    int fragmentMs = 0;
    int stepMs = kDefaultStepMs;

    std::vector<SimCapture*> captures;
    std::vector<SimPlayback*> playbacks;
    std::string lastCaptureSource;
    PcmFormat lastCaptureFormat;
    PcmFormat lastPlaybackFormat;
    Block played;

    std::int64_t Now() const { return manualMs; }

    void RequireServer() const {
        if (!serverAvailable)
            throw ComponentError("Cannot connect to the sound server: Connection refused");
    }

    ScriptedSource* Find(const std::string& name) {
        const std::string& wanted = name == kDefaultSource ? defaultSource : name;
        for (auto& s : sources)
            if (s.info.name == wanted)
                return &s;
        return nullptr;
    }
};

class SimCapture : public CaptureStream {
public:
    SimCapture(std::shared_ptr<SimulatedBackend::State> state, std::string source, double frequency,
               double amplitude, const PcmFormat& format, WakeFunction wake)
        : state_(std::move(state)), source_(std::move(source)), frequency_(frequency),
          amplitude_(amplitude), format_(format), wake_(std::move(wake)),
          ring_(BufferBytes(format, state_->bufferMs)),
          fragment_(std::int64_t{state_->fragmentMs} * format.rate / 1000),
          openedMs_(state_->Now()),
          failAtMs_(state_->failAfterMs < 0 ? -1 : openedMs_ + state_->failAfterMs) {
        BuildTable();
        state_->captures.push_back(this);
    }
    ~SimCapture() override { std::erase(state_->captures, this); }

    std::size_t Read(std::uint8_t* dst, std::size_t maxBytes) override {
        Pump();
        const std::size_t bpf = format_.BytesPerFrame();
        return ring_.Read(dst, maxBytes / bpf * bpf);
    }
    std::int64_t LostFrames() const override { return lost_; }
    std::int64_t InFlightFrames() override { return 0; } // produced straight into the buffer
    Fragments FragmentFrames() const override { return {fragment_, fragment_}; }
    std::string Error() const override {
        const_cast<SimCapture*>(this)->Pump();
        return error_;
    }

    void Fail(const std::string& why) {
        if (error_.empty())
            error_ = why;
    }

    // Produces the audio due up to now. What does not fit into the buffer is lost.
    void Pump() {
        if (!error_.empty())
            return;
        std::int64_t now = state_->Now();
        if (failAtMs_ >= 0 && now >= failAtMs_)
            now = failAtMs_;
        const std::int64_t due = (now - openedMs_) * format_.rate / 1000;
        if (due > produced_) {
            const std::size_t bpf = format_.BytesPerFrame();
            const std::int64_t fit = std::min<std::int64_t>(due - produced_, ring_.Free() / bpf);
            for (std::int64_t n = produced_; n < produced_ + fit;) {
                const std::span<const std::uint8_t> pcm = Render(n, produced_ + fit - n);
                ring_.Write(pcm.data(), pcm.size());
                n += static_cast<std::int64_t>(pcm.size() / bpf);
            }
            lost_ += due - produced_ - fit;
            produced_ = due;
        }
        if (failAtMs_ >= 0 && state_->Now() >= failAtMs_)
            Fail("Recording from " + source_ + " failed: the stream was terminated by the server");
    }

    // Up to `count` frames of the tone from frame `first` on (at least one). A tone with a short
    // period repeats one stored period, so hours of audio cost no more than copies.
    std::span<const std::uint8_t> Render(std::int64_t first, std::int64_t count) {
        const std::size_t bpf = format_.BytesPerFrame();
        if (period_ > 0) {
            const std::int64_t at = first % period_;
            const std::int64_t n = std::min(count, period_ - at);
            return {table_.data() + at * bpf, static_cast<std::size_t>(n) * bpf};
        }
        const std::int64_t n = std::min<std::int64_t>(count, 4096);
        render_.resize(n * bpf);
        for (std::int64_t i = 0; i < n; ++i)
            Frame(first + i, render_.data() + i * bpf);
        return render_;
    }

    void Frame(std::int64_t n, std::uint8_t* dst) const {
        const double v = amplitude_ * std::sin(2.0 * std::numbers::pi * frequency_ *
                                               static_cast<double>(n) / format_.rate);
        const int bps = BytesPerSample(format_.type);
        for (int c = 0; c < format_.channels; ++c)
            EncodeSample(v, format_.type, dst + c * bps);
    }

    // An integral frequency repeats after rate / gcd(rate, frequency) frames.
    void BuildTable() {
        const auto hz = static_cast<std::int64_t>(frequency_);
        if (hz <= 0 || static_cast<double>(hz) != frequency_ || format_.rate <= 0)
            return;
        const std::int64_t period = format_.rate / std::gcd<std::int64_t>(format_.rate, hz);
        if (period > kMaxTablePeriod)
            return;
        const std::size_t bpf = format_.BytesPerFrame();
        table_.resize(period * bpf);
        for (std::int64_t n = 0; n < period; ++n)
            Frame(n, table_.data() + n * bpf);
        period_ = period;
    }

    void Wake() {
        if (wake_)
            wake_();
    }

private:
    std::shared_ptr<SimulatedBackend::State> state_;
    std::string source_;
    double frequency_;
    double amplitude_;
    PcmFormat format_;
    WakeFunction wake_;
    RingBuffer ring_;
    std::int64_t fragment_;
    std::int64_t openedMs_;
    std::int64_t failAtMs_;
    std::int64_t produced_ = 0;
    std::int64_t lost_ = 0;
    std::string error_;
    std::int64_t period_ = 0; // frames in table_; 0 when each frame is computed
    std::vector<std::uint8_t> table_;
    std::vector<std::uint8_t> render_;
};

class SimPlayback : public PlaybackStream {
public:
    SimPlayback(std::shared_ptr<SimulatedBackend::State> state, std::string sink,
                const PcmFormat& format, WakeFunction wake)
        : state_(std::move(state)), sink_(std::move(sink)), format_(format), wake_(std::move(wake)),
          ring_(BufferBytes(format, state_->bufferMs)), lastMs_(state_->Now()),
          failAtMs_(state_->failAfterMs < 0 ? -1 : lastMs_ + state_->failAfterMs) {
        state_->playbacks.push_back(this);
    }
    ~SimPlayback() override { std::erase(state_->playbacks, this); }

    std::size_t Write(const std::uint8_t* src, std::size_t bytes) override {
        Pump();
        if (!error_.empty())
            return 0;
        const std::size_t bpf = format_.BytesPerFrame();
        const std::size_t n = ring_.Write(src, bytes / bpf * bpf);
        written_ += static_cast<std::int64_t>(n / bpf);
        return n;
    }
    std::int64_t PlayedFrames() override {
        Pump();
        return played_;
    }
    void SetPaused(bool paused) override {
        Pump();
        paused_ = paused;
    }
    void Flush() override {
        Pump();
        ring_.Clear();
        written_ = 0;
        played_ = 0;
    }
    void Drain() override {}
    void SetVolume(int volume) override { volume_ = std::clamp(volume, 0, 65536); }
    void SetMute(bool mute) override { mute_ = mute; }
    std::string Error() const override {
        const_cast<SimPlayback*>(this)->Pump();
        return error_;
    }

    int Volume() const { return volume_; }
    bool Muted() const { return mute_; }

    void Fail(const std::string& why) {
        if (error_.empty())
            error_ = why;
    }

    // Consumes what the sink would have played since the last call: the stream's rate while
    // running, nothing while paused. An empty buffer is an underrun: time passes unplayed.
    void Pump() {
        if (!error_.empty())
            return;
        std::int64_t now = state_->Now();
        const bool failing = failAtMs_ >= 0 && now >= failAtMs_;
        if (failing)
            now = failAtMs_;
        if (!paused_ && now > lastMs_) {
            pendingFrameTime_ += (now - lastMs_) * format_.rate;
            std::int64_t frames = pendingFrameTime_ / 1000;
            pendingFrameTime_ -= frames * 1000;
            const std::size_t bpf = format_.BytesPerFrame();
            frames = std::min<std::int64_t>(frames, ring_.Available() / bpf);
            const std::size_t old = state_->played.size();
            state_->played.resize(old + frames * bpf);
            ring_.Read(state_->played.data() + old, frames * bpf);
            played_ += frames;
        }
        lastMs_ = std::max(lastMs_, now);
        if (failing)
            Fail("Playback to " + sink_ + " failed: the stream was terminated by the server");
    }

    void Wake() {
        if (wake_)
            wake_();
    }

private:
    std::shared_ptr<SimulatedBackend::State> state_;
    std::string sink_;
    PcmFormat format_;
    WakeFunction wake_;
    RingBuffer ring_;
    std::int64_t lastMs_;
    std::int64_t failAtMs_;
    std::int64_t pendingFrameTime_ = 0; // frames * 1000 not yet consumed
    std::int64_t written_ = 0;
    std::int64_t played_ = 0;
    bool paused_ = false;
    int volume_ = 65536;
    bool mute_ = false;
    std::string error_;
};

SimulatedBackend::SimulatedBackend() : state_(std::make_shared<State>()) {
    AudioSource input;
    input.name = "sim_input";
    input.description = "Simulated input";
    input.ports = {{"mic", "Microphone"}, {"line", "Line In"}};
    input.activePort = 0;
    input.volume = 65536;
    AddSource(input);
    AddSink({"sim_output", "Simulated output"});
}

SimulatedBackend::~SimulatedBackend() {
    // Streams still open keep the state alive; they simply stop being driven.
}

void SimulatedBackend::ClearSources() {
    state_->sources.clear();
    state_->defaultSource.clear();
    state_->DevicesChanged();
}

void SimulatedBackend::AddSource(const AudioSource& source, double frequencyHz) {
    state_->sources.push_back({source, frequencyHz});
    if (state_->defaultSource.empty())
        state_->defaultSource = source.name;
    state_->DevicesChanged();
}

void SimulatedBackend::RemoveSource(const std::string& name) {
    auto& all = state_->sources;
    all.erase(std::remove_if(all.begin(), all.end(),
                             [&](const State::ScriptedSource& s) { return s.info.name == name; }),
              all.end());
    if (state_->defaultSource == name)
        state_->defaultSource = all.empty() ? std::string() : all.front().info.name;
    state_->DevicesChanged();
}

void SimulatedBackend::WatchDevices(WakeFunction changed) {
    state_->devicesChanged = std::move(changed);
}

void SimulatedBackend::SetDefaultSource(const std::string& name) {
    state_->defaultSource = name;
}
void SimulatedBackend::ClearSinks() {
    state_->sinks.clear();
}
void SimulatedBackend::AddSink(const AudioSink& sink) {
    state_->sinks.push_back(sink);
}

void SimulatedBackend::SetServerAvailable(bool available) {
    state_->serverAvailable = available;
    if (!available) {
        for (auto* c : state_->captures) {
            c->Pump();
            c->Fail("Connection to the sound server lost");
        }
        for (auto* p : state_->playbacks) {
            p->Pump();
            p->Fail("Connection to the sound server lost");
        }
    }
}

void SimulatedBackend::FailStreamsAfter(int ms) {
    state_->failAfterMs = ms;
}
void SimulatedBackend::SetBufferMs(int ms) {
    state_->bufferMs = std::max(ms, 1);
}
void SimulatedBackend::SetFragmentMs(int ms) {
    state_->fragmentMs = std::max(ms, 0);
}
void SimulatedBackend::SetStepMs(int ms) {
    state_->stepMs = std::max(ms, 1);
}

void SimulatedBackend::Step(int ms, bool wake) {
    while (ms > 0) {
        const int step = std::min(ms, state_->stepMs);
        ms -= step;
        state_->manualMs += step;
        // Copies: a woken component may open or close streams.
        const auto captures = state_->captures;
        for (auto* c : captures)
            c->Pump();
        const auto playbacks = state_->playbacks;
        for (auto* p : playbacks)
            p->Pump();
        if (wake)
            Deliver();
    }
}

void SimulatedBackend::Advance(int ms) {
    Step(ms, true);
}
void SimulatedBackend::Elapse(int ms) {
    Step(ms, false);
}

void SimulatedBackend::Deliver() {
    const auto captures = state_->captures;
    for (auto* c : captures)
        if (std::find(state_->captures.begin(), state_->captures.end(), c) !=
            state_->captures.end())
            c->Wake();
    const auto playbacks = state_->playbacks;
    for (auto* p : playbacks)
        if (std::find(state_->playbacks.begin(), state_->playbacks.end(), p) !=
            state_->playbacks.end())
            p->Wake();
}

int SimulatedBackend::OpenCaptureStreams() const {
    return static_cast<int>(state_->captures.size());
}
int SimulatedBackend::OpenPlaybackStreams() const {
    return static_cast<int>(state_->playbacks.size());
}
std::string SimulatedBackend::LastCaptureSource() const {
    return state_->lastCaptureSource;
}
PcmFormat SimulatedBackend::LastCaptureFormat() const {
    return state_->lastCaptureFormat;
}
PcmFormat SimulatedBackend::LastPlaybackFormat() const {
    return state_->lastPlaybackFormat;
}

int SimulatedBackend::PlaybackVolume() const {
    return state_->playbacks.empty() ? -1 : state_->playbacks.back()->Volume();
}
bool SimulatedBackend::PlaybackMuted() const {
    return !state_->playbacks.empty() && state_->playbacks.back()->Muted();
}
Block SimulatedBackend::Played() const {
    return state_->played;
}
void SimulatedBackend::ClearPlayed() {
    state_->played.clear();
}

std::vector<AudioSource> SimulatedBackend::Sources() {
    state_->RequireServer();
    std::vector<AudioSource> out;
    for (const auto& s : state_->sources)
        out.push_back(s.info);
    return out;
}

std::optional<AudioSource> SimulatedBackend::Source(const std::string& name) {
    state_->RequireServer();
    if (auto* s = state_->Find(name))
        return s->info;
    return std::nullopt;
}

std::vector<AudioSink> SimulatedBackend::Sinks() {
    state_->RequireServer();
    return state_->sinks;
}

void SimulatedBackend::SetActivePort(const std::string& source, const std::string& port) {
    state_->RequireServer();
    auto* s = state_->Find(source);
    if (s == nullptr)
        throw ComponentError("Cannot select the input " + port + ": no source " + source);
    for (std::size_t i = 0; i < s->info.ports.size(); ++i) {
        if (s->info.ports[i].name == port) {
            s->info.activePort = static_cast<int>(i);
            return;
        }
    }
    throw ComponentError("Cannot select the input " + port + " of " + s->info.description +
                         ": no such port");
}

void SimulatedBackend::SetSourceVolume(const std::string& source, int volume) {
    state_->RequireServer();
    auto* s = state_->Find(source);
    if (s == nullptr)
        throw ComponentError("Cannot set the volume of " + source + ": no such source");
    s->info.volume = std::clamp(volume, 0, 65536);
}

std::unique_ptr<CaptureStream> SimulatedBackend::OpenCapture(const std::string& source,
                                                             const PcmFormat& format,
                                                             WakeFunction wake) {
    state_->RequireServer();
    auto* s = state_->Find(source);
    if (s == nullptr)
        throw ComponentError("Cannot record from " + source + ": no such source");
    state_->lastCaptureSource = source;
    state_->lastCaptureFormat = format;
    const double amplitude = 0.5 * s->info.volume / 65536.0;
    return std::make_unique<SimCapture>(state_, s->info.description, s->frequency, amplitude,
                                        format, std::move(wake));
}

std::unique_ptr<PlaybackStream> SimulatedBackend::OpenPlayback(const std::string& sink,
                                                               const PcmFormat& format,
                                                               WakeFunction wake) {
    state_->RequireServer();
    std::string name = sink;
    if (sink == kDefaultSink) {
        if (state_->sinks.empty())
            throw ComponentError("Cannot play: the sound server has no output device");
        name = state_->sinks.front().description;
    } else {
        const auto it = std::find_if(state_->sinks.begin(), state_->sinks.end(),
                                     [&](const AudioSink& k) { return k.name == sink; });
        if (it == state_->sinks.end())
            throw ComponentError("Cannot play to " + sink + ": no such output device");
        name = it->description;
    }
    state_->lastPlaybackFormat = format;
    return std::make_unique<SimPlayback>(state_, name, format, std::move(wake));
}

std::int64_t SimulatedBackend::NowMs() const {
    return state_->Now();
}
