#include "taudioplayer2.h"

#include "audiobackend.h"
#include "componenterror.h"
#include "failurehandler.h"
#include "pcmformat.h"
#include "uiwake.h"

#include <QTimer>
#include <algorithm>
#include <atomic>
#include <deque>
#include <optional>

namespace {

// The position is shown as often as the program asks (SetTimerInterval); the same timer takes
// the finished blocks and asks for new ones. The stream's own wake-ups (room in its buffer, the
// end, a failure) come on top. The margin lets a timer that fires a little early still show.
constexpr int kTimerMarginMs = 5;
// Ask for blocks while less than this is queued: twice what the stream plays between the
// wake-ups that ask for more.
constexpr int kWantedMs = 2 * kPlaybackTopUpMs;
constexpr int kMaxOutstanding = 64;

} // namespace

struct TAudioPlayer2::Impl {
    TAudioPlayer2* q = nullptr;
    std::shared_ptr<AudioBackend> backend;
    std::optional<PcmFormat> format;
    std::unique_ptr<PlaybackStream> stream;

    // Bytes queued by QueueBlock and not yet taken by the stream, in order.
    std::deque<std::uint8_t> unwritten;
    // Stream frame positions at which each queued block ends; the end-of-file block is marked.
    struct Boundary {
        std::int64_t end;
        bool endOfFile;
    };
    std::deque<Boundary> boundaries;
    std::int64_t queuedFrames = 0; // since the format was set or the queue flushed
    std::int64_t startPlayed = 0;  // PlayedFrames at the latest StartPlayback
    bool playing = false;
    bool endQueued = false;
    bool drainAsked = false;
    int outstanding = 0; // events sent that the program answers with one QueueBlock each
    std::int64_t lastBlockFrames = 4100;
    std::int64_t lastTimerMs = 0;
    int timerMs = TAudioPlayer2::kMinTimerMs;
    int volume = kMaxVolume;
    bool mute = false;

    QTimer poll;
    std::unique_ptr<UiWake> wake;
    bool processing = false;
    std::vector<std::uint8_t> scratch;

    int Bpf() const { return format.value_or(PcmFormat{}).BytesPerFrame(); }

    void ResetQueue() {
        unwritten.clear();
        boundaries.clear();
        queuedFrames = 0;
        endQueued = false;
        drainAsked = false;
        outstanding = 0;
    }

    void CloseStream() {
        stream.reset();
        poll.stop();
        playing = false;
    }

    static int StreamVolume(int v) {
        return static_cast<int>(static_cast<std::int64_t>(v) * 65536 / kMaxVolume);
    }

    // Gives the stream as much of the queue as it takes.
    void Feed() {
        if (!stream)
            return;
        while (!unwritten.empty()) {
            const std::size_t n = std::min<std::size_t>(unwritten.size(), 64 * 1024);
            scratch.assign(unwritten.begin(), unwritten.begin() + n);
            const std::size_t taken = stream->Write(scratch.data(), n);
            unwritten.erase(unwritten.begin(), unwritten.begin() + taken);
            if (taken < n)
                break;
        }
        if (unwritten.empty() && endQueued && !drainAsked) {
            drainAsked = true;
            stream->Drain();
        }
    }

    void Process() {
        if (processing || !stream)
            return;
        processing = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{processing};

        const std::string failure = stream->Error();
        if (!failure.empty()) {
            CloseStream();
            throw ComponentError(failure);
        }
        Feed();
        const std::int64_t played = stream->PlayedFrames();
        // Each event may lead the program to stop, flush or re-format; re-check after each one.
        while (stream && !boundaries.empty() && boundaries.front().end <= played) {
            const Boundary b = boundaries.front();
            boundaries.pop_front();
            if (b.endOfFile) {
                boundaries.clear();
                emit q->OnEndPlay();
            } else {
                ++outstanding;
                emit q->OnEndArrayPlay();
            }
        }
        if (!stream || !playing)
            return;
        const std::int64_t wanted = static_cast<std::int64_t>(format->rate) * kWantedMs / 1000;
        while (stream && playing && !endQueued && outstanding < kMaxOutstanding &&
               (queuedFrames - stream->PlayedFrames()) + outstanding * lastBlockFrames < wanted) {
            ++outstanding;
            emit q->OnRequestOnLoadArray();
        }
        const std::int64_t now = backend->NowMs();
        if (stream && playing && now - lastTimerMs >= timerMs - kTimerMarginMs) {
            lastTimerMs = now;
            poll.start(); // a wake-up that showed the position puts the next look a period out
            emit q->OnTimer(stream->PlayedFrames() - startPlayed, 0, 0);
        }
    }

    // What the event loop runs: the wake-ups and the poll.
    void FromEventLoop() {
        HandleFailures(failureHandler, [this] { Process(); });
    }

    WakeFunction MakeWake() { return wake->Function(); }
    FailureHandler failureHandler;
};

TAudioPlayer2::TAudioPlayer2(std::shared_ptr<AudioBackend> backend, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>()) {
    d_->q = this;
    d_->backend = std::move(backend);
    d_->wake = std::make_unique<UiWake>([this]() { d_->FromEventLoop(); });
    d_->poll.setInterval(d_->timerMs);
    d_->poll.setTimerType(Qt::CoarseTimer);
    connect(&d_->poll, &QTimer::timeout, this, [this]() { d_->FromEventLoop(); });
}

void TAudioPlayer2::SetFailureHandler(FailureHandler handler) {
    d_->failureHandler = std::move(handler);
}

TAudioPlayer2::~TAudioPlayer2() {
    d_->stream.reset();
}

void TAudioPlayer2::SetFormat(std::int32_t handle, std::int32_t param) {
    const auto format = PcmFormat::FromHandle(handle, param);
    if (!format)
        throw ComponentError("Playback: the format handle " + std::to_string(handle) +
                             " and parameter " + std::to_string(param) + " describe no PCM format");
    d_->CloseStream();
    d_->ResetQueue();
    d_->format = format;
    d_->startPlayed = 0;
}

void TAudioPlayer2::StartPlayback() {
    if (!d_->format)
        throw ComponentError("Playback: no format was set before playback started");
    if (!d_->stream) {
        d_->stream =
            d_->backend->OpenPlayback(AudioBackend::kDefaultSink, *d_->format, d_->MakeWake());
        d_->stream->SetVolume(Impl::StreamVolume(d_->volume));
        d_->stream->SetMute(d_->mute);
    } else {
        d_->stream->SetPaused(false);
    }
    d_->playing = true;
    d_->startPlayed = d_->stream->PlayedFrames();
    d_->lastTimerMs = d_->backend->NowMs();
    d_->Feed();
    d_->poll.start();
}

void TAudioPlayer2::StopPlayback() {
    if (!d_->stream)
        return;
    d_->stream->SetPaused(true);
    d_->playing = false;
    d_->poll.stop();
}

void TAudioPlayer2::FlushQueue() {
    d_->ResetQueue();
    if (d_->stream)
        d_->stream->Flush();
    d_->startPlayed = 0;
}

void TAudioPlayer2::QueueBlock(const Block& block) {
    d_->outstanding = std::max(0, d_->outstanding - 1);
    if (d_->endQueued)
        return; // nothing plays after the end of the file
    const std::size_t bpf = d_->Bpf();
    const std::size_t bytes = block.size() / bpf * bpf; // a trailing partial frame cannot play
    if (block.empty()) {
        d_->endQueued = true;
        d_->boundaries.push_back({d_->queuedFrames, true});
    } else {
        d_->unwritten.insert(d_->unwritten.end(), block.begin(), block.begin() + bytes);
        d_->queuedFrames += static_cast<std::int64_t>(bytes / bpf);
        d_->boundaries.push_back({d_->queuedFrames, false});
        if (bytes > 0)
            d_->lastBlockFrames = static_cast<std::int64_t>(bytes / bpf);
    }
    d_->Feed();
}

std::int64_t TAudioPlayer2::CurrentSamples() const {
    return d_->stream ? d_->stream->PlayedFrames() - d_->startPlayed : 0;
}

std::int64_t TAudioPlayer2::SamplesToMs(std::int64_t samples) const {
    return FramesToMs(samples, d_->format.value_or(PcmFormat{}).rate);
}

int TAudioPlayer2::GetVolume() const {
    return d_->volume;
}

void TAudioPlayer2::SetVolume(int volume) {
    d_->volume = std::clamp(volume, 0, kMaxVolume);
    if (d_->stream)
        d_->stream->SetVolume(Impl::StreamVolume(d_->volume));
}

bool TAudioPlayer2::GetMute() const {
    return d_->mute;
}

void TAudioPlayer2::SetTimerInterval(int ms) {
    d_->timerMs = std::clamp(ms, kMinTimerMs, kMaxTimerMs);
    if (d_->poll.interval() != d_->timerMs)
        d_->poll.setInterval(d_->timerMs);
}

void TAudioPlayer2::SetMute(bool mute) {
    d_->mute = mute;
    if (d_->stream)
        d_->stream->SetMute(mute);
}
