// The PulseAudio backend over libpulse's threaded main loop (PipeWire serves the same API).
//
// Threads. Two threads touch this file: the UI thread, which calls every public method, and
// libpulse's main-loop thread ("threaded-ml"), which runs every callback. The UI thread issues
// each server request with the main-loop lock held and, where it needs the answer, waits for it
// (pa_threaded_mainloop_wait releases the lock meanwhile, so callbacks of other streams run then).
// Callbacks always run with the lock held. A callback only
//   - moves samples between the server and a stream's single-producer/single-consumer ring,
//   - sets atomics or lock-guarded plain fields of its own stream,
//   - signals the main loop (to end a UI-thread wait), and
//   - calls its stream's wake function, which writes to an eventfd (see uiwake.h).
// It never touches a QObject, a QPointer or a Qt container, and never calls into the components.
//
// Ownership. The backend and every stream share one PulseCore (main loop and connection), so the
// main loop outlives every stream. A stream is the userdata of its callbacks, of a playback's
// deferred "kick" event and drain operation, and of a capture's widening of its fragments. Before a
// stream's memory goes (Release, with the lock held), it clears its stream callbacks, frees its
// deferred event and cancels any operation that would call back into it; pa_stream_disconnect alone
// is not enough, because the server's answer to a drain can still arrive after the disconnect was
// sent, and libpulse would then call into freed memory. Operations issued without a callback (cork,
// flush, volume, mute) are unreferenced at once. The context's device-event callback points at the
// PulseCore, which lives until the main loop stops.

#include "audiobackend.h"
#include "componenterror.h"
#include "ringbuffer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <pulse/pulseaudio.h>

namespace {

// Why a stream stopped, in words a user can act on: PulseAudio's own text for a vanished server
// is "Bad state" or "Connection terminated".
std::string StreamFailureCause(pa_stream* s) {
    pa_context* c = pa_stream_get_context(s);
    const pa_context_state_t state = c != nullptr ? pa_context_get_state(c) : PA_CONTEXT_FAILED;
    if (state != PA_CONTEXT_READY)
        return "the sound server went away (is PulseAudio or PipeWire still running?)";
    return pa_strerror(pa_context_errno(c));
}

constexpr int kRingSeconds = 10;
// The server hands over captured audio in fragments this long: one wake of the sound thread and
// of the reader per two level-meter updates (the reader shows the second 50 ms later).
constexpr int kCaptureFragmentMs = 100;
// A new capture stream asks for short fragments, so that its first audio arrives after about
// this long rather than after a whole long fragment; once a long fragment's worth has come, the
// stream moves to kCaptureFragmentMs.
constexpr int kCaptureStartFragmentMs = 10;
// What the server holds of a playback stream. Pause, seek, stop and volume act at once whatever
// its length (cork, flush, the sink input's volume) and the position shown subtracts it, so a
// long buffer costs nothing the user sees; the server asks for more twice a second.
constexpr int kPlaybackLatencyMs = 1000;

std::size_t MsToBytes(const PcmFormat& f, int ms) {
    return static_cast<std::size_t>(f.rate) * ms / 1000 * f.BytesPerFrame();
}

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A capture fragment of `ms`, at least one frame (a low rate has fewer frames than milliseconds).
std::uint32_t FragmentBytes(const PcmFormat& f, int ms) {
    return static_cast<std::uint32_t>(std::max<std::size_t>(MsToBytes(f, ms), f.BytesPerFrame()));
}

pa_sample_spec SampleSpec(const PcmFormat& f) {
    pa_sample_spec ss{};
    switch (f.type) {
    case SampleType::U8:
        ss.format = PA_SAMPLE_U8;
        break;
    case SampleType::S16:
        ss.format = PA_SAMPLE_S16LE;
        break;
    case SampleType::S24:
        ss.format = PA_SAMPLE_S24LE;
        break;
    case SampleType::S32:
        ss.format = PA_SAMPLE_S32LE;
        break;
    }
    ss.rate = static_cast<std::uint32_t>(f.rate);
    ss.channels = static_cast<std::uint8_t>(f.channels);
    return ss;
}

// The main loop and the server connection, shared by the backend and its streams.
class PulseCore {
public:
    explicit PulseCore(std::string appName) : appName_(std::move(appName)) {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ == nullptr)
            return;
        // The loop's thread as it starts, and this thread at its first lock of the loop, both
        // create libpulse's thread-local slot for "the current thread" on first use, behind a
        // run-once guard whose mutex is made on demand. When the two meet there, ThreadSanitizer
        // cannot see how that mutex went from one thread to the other (libpulse is not
        // instrumented) and reports a race that is none; a bare program that starts the loop and
        // locks it shows it in one start of ten. So nothing locks the loop before its thread
        // runs; the wait is one thread switch.
        std::promise<void> running;
        pa_defer_event* started = Api()->defer_new(Api(), &PulseCore::OnRunning, &running);
        if (pa_threaded_mainloop_start(loop_) < 0) {
            pa_threaded_mainloop_free(loop_); // frees `started` too
            loop_ = nullptr;
            return;
        }
        running.get_future().wait();
        Lock lock(*this);
        Api()->defer_free(started);
    }
    ~PulseCore() {
        if (loop_ == nullptr)
            return;
        pa_threaded_mainloop_lock(loop_);
        DropContext();
        pa_threaded_mainloop_unlock(loop_);
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }

    class Lock {
    public:
        explicit Lock(PulseCore& core) : loop_(core.loop_) {
            if (loop_ != nullptr)
                pa_threaded_mainloop_lock(loop_);
        }
        ~Lock() {
            if (loop_ != nullptr)
                pa_threaded_mainloop_unlock(loop_);
        }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    pa_threaded_mainloop* Loop() const { return loop_; }
    pa_mainloop_api* Api() const { return pa_threaded_mainloop_get_api(loop_); }

    // With the lock held: a ready connection, made now if there is none or the last one died.
    pa_context* Context() {
        if (loop_ == nullptr)
            throw ComponentError("Cannot connect to the sound server: no PulseAudio main loop");
        if (context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY)
            return context_;
        DropContext();
        context_ = pa_context_new(Api(), appName_.c_str());
        if (context_ == nullptr)
            throw ComponentError("Cannot connect to the sound server: out of memory");
        pa_context_set_state_callback(context_, &PulseCore::OnContextState, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            FailConnect();
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY) {
                Subscribe();
                return context_;
            }
            if (!PA_CONTEXT_IS_GOOD(state))
                FailConnect();
            pa_threaded_mainloop_wait(loop_);
        }
    }

    // With the lock held: waits for a request to finish.
    void Wait(pa_operation* op, const std::string& what) {
        if (op == nullptr)
            throw ComponentError(what + ": " + pa_strerror(pa_context_errno(context_)));
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(loop_);
        pa_operation_unref(op);
    }

    void Signal() { pa_threaded_mainloop_signal(loop_, 0); }

    // With the lock held: who hears of sources and sinks coming and going; see WatchDevices.
    void SetDevicesWatcher(WakeFunction changed) { devicesChanged_ = std::move(changed); }

    std::string LastError() const {
        return context_ != nullptr ? pa_strerror(pa_context_errno(context_)) : "not connected";
    }

private:
    [[noreturn]] void FailConnect() {
        const std::string why = pa_strerror(pa_context_errno(context_));
        DropContext();
        throw ComponentError("Cannot connect to the sound server: " + why);
    }

    void DropContext() {
        if (context_ == nullptr)
            return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }

    static void OnContextState(pa_context*, void* self) { static_cast<PulseCore*>(self)->Signal(); }

    // Main-loop thread, once, as the loop begins to run.
    static void OnRunning(pa_mainloop_api* api, pa_defer_event* e, void* running) {
        api->defer_enable(e, 0);
        static_cast<std::promise<void>*>(running)->set_value();
    }

    // With the lock held, on a new connection: device events from now on. The answer is not
    // awaited; a server that refuses simply sends no events.
    void Subscribe() {
        pa_context_set_subscribe_callback(context_, &PulseCore::OnEvent, this);
        const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE |
                                                              PA_SUBSCRIPTION_MASK_SINK);
        if (pa_operation* op = pa_context_subscribe(context_, mask, nullptr, nullptr))
            pa_operation_unref(op);
    }

    // Main-loop thread: only additions and removals matter to the lists (a volume change is a
    // "change" event and comes often).
    static void OnEvent(pa_context*, pa_subscription_event_type_t type, std::uint32_t, void* self) {
        const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (kind != PA_SUBSCRIPTION_EVENT_NEW && kind != PA_SUBSCRIPTION_EVENT_REMOVE)
            return;
        auto* me = static_cast<PulseCore*>(self);
        if (me->devicesChanged_)
            me->devicesChanged_();
    }

    std::string appName_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    WakeFunction devicesChanged_; // guarded by the main-loop lock
};

// A stream's failure, written on the main-loop thread and read on the UI thread.
class StreamError {
public:
    void Set(const std::string& why) {
        std::lock_guard lock(mutex_);
        if (text_.empty())
            text_ = why;
    }
    std::string Get() const {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// With the lock held: connects a new stream and waits until it runs; throws with `what` and
// the server's reason if it does not.
void WaitUntilReady(PulseCore& core, pa_stream* s, const std::string& what) {
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(s);
        if (state == PA_STREAM_READY)
            return;
        if (!PA_STREAM_IS_GOOD(state))
            throw ComponentError(what + ": " + core.LastError());
        pa_threaded_mainloop_wait(core.Loop());
    }
}

class PulseCapture : public CaptureStream {
public:
    PulseCapture(std::shared_ptr<PulseCore> core, const std::string& source,
                 const PcmFormat& format, WakeFunction wake)
        : core_(std::move(core)), format_(format), wake_(std::move(wake)),
          ring_(MsToBytes(format, kRingSeconds * 1000)) {
        const std::string what = "Cannot record from " + Describe(source);
        PulseCore::Lock lock(*core_);
        pa_context* ctx = core_->Context();
        const pa_sample_spec ss = SampleSpec(format_);
        stream_ = pa_stream_new(ctx, "Recording", &ss, nullptr);
        if (stream_ == nullptr)
            throw ComponentError(what + ": " + core_->LastError());
        pa_stream_set_state_callback(stream_, &PulseCapture::OnState, this);
        pa_stream_set_read_callback(stream_, &PulseCapture::OnRead, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = FragmentBytes(format_, kCaptureStartFragmentMs);
        // No device name follows the default source, also when the user changes it later.
        const char* dev = source == AudioBackend::kDefaultSource ? nullptr : source.c_str();
        // Timing updates let InFlightFrames tell how much audio is still on its way.
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        try {
            if (pa_stream_connect_record(stream_, dev, &attr, flags) < 0)
                throw ComponentError(what + ": " + core_->LastError());
            WaitUntilReady(*core_, stream_, what);
        } catch (...) {
            Release();
            throw;
        }
        ready_ = true;
    }

    ~PulseCapture() override {
        PulseCore::Lock lock(*core_);
        Release();
    }

    std::size_t Read(std::uint8_t* dst, std::size_t maxBytes) override {
        const std::size_t bpf = format_.BytesPerFrame();
        return ring_.Read(dst, maxBytes / bpf * bpf);
    }
    std::int64_t LostFrames() const override { return lost_.load(); }
    std::string Error() const override { return error_.Get(); }

    Fragments FragmentFrames() const override { return {startFragment_.load(), fragment_.load()}; }

    std::int64_t InFlightFrames() override {
        PulseCore::Lock lock(*core_);
        if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY)
            return 0;
        std::int64_t frames = 0;
        pa_usec_t latency = 0;
        int negative = 0;
        // What libpulse holds and the ring does not have yet is part of the latency too, but
        // the read callback empties it at once; the rest is in the server and the device.
        if (pa_stream_get_latency(stream_, &latency, &negative) == 0 && !negative)
            frames =
                static_cast<std::int64_t>(latency * static_cast<pa_usec_t>(format_.rate) / 1000000);
        // Whatever the device captured since the latest fragment came, and what the source
        // holds as its configured latency, is on its way in any case. pipewire-pulse reports a
        // latency that drifts by tens of milliseconds either way and, once the fragments have
        // grown, stays near the short fragment's for a while, so on its own it would end a
        // recording up to a fragment early (the reader caps the wait by the clock). A source
        // that stalls counts for two fragments at most, so a stop never waits long for it.
        const std::int64_t last = lastDataNs_.load();
        const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
        if (last != 0) {
            const std::int64_t since = std::min<std::int64_t>(
                SteadyNs() - last, std::int64_t{2} * kCaptureFragmentMs * 1000000);
            const std::int64_t source =
                timing != nullptr ? static_cast<std::int64_t>(timing->configured_source_usec) : 0;
            frames = std::max(frames, (since + source * 1000) * format_.rate / 1000000000);
        }
        return frames;
    }

private:
    static std::string Describe(const std::string& source) {
        return source == AudioBackend::kDefaultSource ? std::string("the default input") : source;
    }

    void Release() {
        // The widening's answer may still be on its way: it must not call into freed memory.
        if (widenOp_ != nullptr) {
            if (pa_operation_get_state(widenOp_) == PA_OPERATION_RUNNING)
                pa_operation_cancel(widenOp_);
            pa_operation_unref(widenOp_);
            widenOp_ = nullptr;
        }
        if (stream_ == nullptr)
            return;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

    // The fragment the server last agreed to, in frames.
    std::int64_t AgreedFragment(pa_stream* s) const {
        const pa_buffer_attr* attr = pa_stream_get_buffer_attr(s);
        return attr != nullptr ? attr->fragsize / format_.BytesPerFrame() : 0;
    }

    static void OnState(pa_stream* s, void* self) {
        auto* me = static_cast<PulseCapture*>(self);
        // Noted here rather than in the constructor: the first data and the widening it asks
        // for may come before the constructor sees the stream ready.
        if (pa_stream_get_state(s) == PA_STREAM_READY && me->startFragment_.load() == 0) {
            me->startFragment_ = me->AgreedFragment(s);
            me->fragment_ = me->startFragment_.load();
        }
        if (me->ready_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(s))) {
            const char* dev = pa_stream_get_device_name(s);
            me->error_.Set(std::string("Recording from ") + (dev ? dev : "the input") +
                           " stopped: " + StreamFailureCause(s));
            if (me->wake_)
                me->wake_();
        }
        me->core_->Signal();
    }

    // Main-loop thread: moves every fragment the server has into the ring.
    static void OnRead(pa_stream* s, std::size_t, void* self) {
        auto* me = static_cast<PulseCapture*>(self);
        const std::size_t bpf = me->format_.BytesPerFrame();
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0) {
            if (bytes == 0)
                break;
            if (data == nullptr) {
                me->lost_ += static_cast<std::int64_t>(bytes / bpf); // a hole in the recording
            } else {
                const std::size_t whole = bytes / bpf * bpf;
                const std::size_t n =
                    me->ring_.Write(static_cast<const std::uint8_t*>(data),
                                    std::min(whole, me->ring_.Free() / bpf * bpf));
                me->lost_ += static_cast<std::int64_t>((whole - n) / bpf);
            }
            me->unannounced_ += bytes;
            me->lastDataNs_ = SteadyNs();
            if (!me->widened_)
                me->received_ += bytes;
            pa_stream_drop(s);
        }
        if (me->unannounced_ == 0)
            return;
        const std::size_t fragment = MsToBytes(me->format_, kCaptureFragmentMs);
        // The short fragments have done their work once a long fragment's worth has come in
        // them: the reader had the first audio at once, and whatever a server does to a new
        // stream's first moments (pipewire-pulse hands out a quantum of older audio first) is
        // over before the fragments change.
        if (!me->widened_ && me->received_ >= fragment) {
            me->widened_ = true;
            me->Widen(s);
        }
        // The first audio goes to the reader at once. After that, as a server may hand a fragment
        // over in many small pieces, the reader is woken once a fragment's worth has come since
        // its last wake, not for every piece.
        if (!me->announced_ || me->unannounced_ >= fragment) {
            me->announced_ = true;
            me->unannounced_ = 0;
            if (me->wake_)
                me->wake_();
        }
    }

    // Main-loop thread: asks the server for long fragments from now on. The request does not
    // wait for its answer; if the server refuses, the stream goes on with short fragments, which
    // only costs wake-ups of this thread (the reader is woken as seldom either way).
    void Widen(pa_stream* s) {
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = FragmentBytes(format_, kCaptureFragmentMs);
        widenOp_ = pa_stream_set_buffer_attr(s, &attr, &PulseCapture::OnWidened, this);
    }

    static void OnWidened(pa_stream* s, int success, void* self) {
        auto* me = static_cast<PulseCapture*>(self);
        // libpulse holds the operation until this returns; drop ours.
        if (me->widenOp_ != nullptr) {
            pa_operation_unref(me->widenOp_);
            me->widenOp_ = nullptr;
        }
        if (success)
            me->fragment_ = me->AgreedFragment(s);
    }

    std::shared_ptr<PulseCore> core_;
    PcmFormat format_;
    WakeFunction wake_;
    RingBuffer ring_;
    pa_stream* stream_ = nullptr;
    bool ready_ = false;
    std::size_t unannounced_ = 0; // main-loop thread: bytes read since the latest wake
    // Main-loop thread: whether the reader heard of the first audio, and the bytes that came
    // before the stream asked for long fragments.
    bool announced_ = false;
    bool widened_ = false;
    std::size_t received_ = 0;
    pa_operation* widenOp_ = nullptr; // the widening in flight, cancelled before the stream goes
    std::atomic<std::int64_t> lastDataNs_{0}; // when the latest fragment came, by SteadyNs
    std::atomic<std::int64_t> startFragment_{0};
    std::atomic<std::int64_t> fragment_{0};
    std::atomic<std::int64_t> lost_{0};
    StreamError error_;
};

class PulsePlayback : public PlaybackStream {
public:
    PulsePlayback(std::shared_ptr<PulseCore> core, const std::string& sink, const PcmFormat& format,
                  WakeFunction wake)
        : core_(std::move(core)), format_(format), wake_(std::move(wake)),
          ring_(MsToBytes(format, kRingSeconds * 1000)) {
        const std::string what =
            "Cannot play to " +
            (sink == AudioBackend::kDefaultSink ? std::string("the default output") : sink);
        PulseCore::Lock lock(*core_);
        pa_context* ctx = core_->Context();
        const pa_sample_spec ss = SampleSpec(format_);
        stream_ = pa_stream_new(ctx, "Playback", &ss, nullptr);
        if (stream_ == nullptr)
            throw ComponentError(what + ": " + core_->LastError());
        pa_stream_set_state_callback(stream_, &PulsePlayback::OnState, this);
        pa_stream_set_write_callback(stream_, &PulsePlayback::OnWrite, this);
        kick_ = core_->Api()->defer_new(core_->Api(), &PulsePlayback::OnKick, this);
        core_->Api()->defer_enable(kick_, 0);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(MsToBytes(format_, kPlaybackLatencyMs));
        attr.prebuf = static_cast<std::uint32_t>(-1);
        // The server asks for more when half the buffer has played, not every few milliseconds.
        attr.minreq = static_cast<std::uint32_t>(MsToBytes(format_, kPlaybackLatencyMs / 2));
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        const char* dev = sink == AudioBackend::kDefaultSink ? nullptr : sink.c_str();
        try {
            if (pa_stream_connect_playback(stream_, dev, &attr, flags, nullptr, nullptr) < 0)
                throw ComponentError(what + ": " + core_->LastError());
            WaitUntilReady(*core_, stream_, what);
        } catch (...) {
            Release();
            throw;
        }
        ready_ = true;
    }

    ~PulsePlayback() override {
        PulseCore::Lock lock(*core_);
        Release();
    }

    std::size_t Write(const std::uint8_t* src, std::size_t bytes) override {
        const std::size_t bpf = format_.BytesPerFrame();
        const std::size_t n = ring_.Write(src, bytes / bpf * bpf);
        if (n > 0 && starved_.load())
            Kick();
        return n;
    }

    std::int64_t PlayedFrames() override {
        PulseCore::Lock lock(*core_);
        const std::int64_t moved = moved_.load();
        std::int64_t estimate = played_;
        if (drained_) {
            estimate = moved;
        } else if (stream_ != nullptr) {
            pa_usec_t latency = 0;
            int negative = 0;
            if (pa_stream_get_latency(stream_, &latency, &negative) == 0) {
                const std::int64_t behind =
                    negative ? 0 : static_cast<std::int64_t>(latency * format_.rate / 1000000);
                estimate = moved - behind;
            }
        }
        played_ = std::clamp(estimate, played_, std::max(played_, moved));
        return played_;
    }

    void SetPaused(bool paused) override {
        PulseCore::Lock lock(*core_);
        if (stream_ == nullptr)
            return;
        if (pa_operation* op = pa_stream_cork(stream_, paused ? 1 : 0, nullptr, nullptr))
            pa_operation_unref(op);
        if (!paused)
            core_->Api()->defer_enable(kick_, 1);
    }

    void Flush() override {
        PulseCore::Lock lock(*core_);
        // The main-loop thread only reads the ring inside callbacks, which cannot run now.
        ring_.Clear();
        CancelDrain();
        if (stream_ != nullptr)
            if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr))
                pa_operation_unref(op);
        moved_ = 0;
        played_ = 0;
        drainWanted_ = false;
        drainIssued_ = false;
        drained_ = false;
    }

    void Drain() override {
        PulseCore::Lock lock(*core_);
        drainWanted_ = true;
        if (stream_ != nullptr)
            core_->Api()->defer_enable(kick_, 1);
    }

    void SetVolume(int volume) override {
        PulseCore::Lock lock(*core_);
        if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY)
            return;
        pa_cvolume cv;
        pa_cvolume_set(&cv, static_cast<unsigned>(format_.channels),
                       static_cast<pa_volume_t>(std::clamp(volume, 0, 65536)));
        if (pa_operation* op = pa_context_set_sink_input_volume(pa_stream_get_context(stream_),
                                                                pa_stream_get_index(stream_), &cv,
                                                                nullptr, nullptr))
            pa_operation_unref(op);
    }

    void SetMute(bool mute) override {
        PulseCore::Lock lock(*core_);
        if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY)
            return;
        if (pa_operation* op = pa_context_set_sink_input_mute(pa_stream_get_context(stream_),
                                                              pa_stream_get_index(stream_),
                                                              mute ? 1 : 0, nullptr, nullptr))
            pa_operation_unref(op);
    }

    std::string Error() const override { return error_.Get(); }

private:
    // With the lock held: forgets the pending drain, so its answer can no longer call back.
    void CancelDrain() {
        if (drainOp_ == nullptr)
            return;
        if (pa_operation_get_state(drainOp_) == PA_OPERATION_RUNNING)
            pa_operation_cancel(drainOp_);
        pa_operation_unref(drainOp_);
        drainOp_ = nullptr;
    }

    void Release() {
        CancelDrain();
        if (kick_ != nullptr) {
            core_->Api()->defer_free(kick_);
            kick_ = nullptr;
        }
        if (stream_ == nullptr)
            return;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

    void Kick() {
        PulseCore::Lock lock(*core_);
        if (kick_ != nullptr)
            core_->Api()->defer_enable(kick_, 1);
    }

    static void OnState(pa_stream* s, void* self) {
        auto* me = static_cast<PulsePlayback*>(self);
        if (me->ready_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(s))) {
            const char* dev = pa_stream_get_device_name(s);
            me->error_.Set(std::string("Playback to ") + (dev ? dev : "the output") +
                           " stopped: " + StreamFailureCause(s));
            if (me->wake_)
                me->wake_();
        }
        me->core_->Signal();
    }

    static void OnWrite(pa_stream*, std::size_t, void* self) {
        static_cast<PulsePlayback*>(self)->Pump();
    }

    static void OnKick(pa_mainloop_api* api, pa_defer_event* e, void* self) {
        api->defer_enable(e, 0);
        static_cast<PulsePlayback*>(self)->Pump();
    }

    static void OnDrained(pa_stream*, int success, void* self) {
        auto* me = static_cast<PulsePlayback*>(self);
        // The answer has come: libpulse holds the operation until this returns; drop ours.
        if (me->drainOp_ != nullptr) {
            pa_operation_unref(me->drainOp_);
            me->drainOp_ = nullptr;
        }
        if (success && me->drainIssued_)
            me->drained_ = true;
        if (me->wake_)
            me->wake_();
    }

    // Main-loop thread: hands the server as much of the ring as it asks for.
    void Pump() {
        if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY)
            return;
        const std::size_t bpf = format_.BytesPerFrame();
        std::size_t want = pa_stream_writable_size(stream_);
        if (want == static_cast<std::size_t>(-1))
            return;
        bool moved = false;
        while (want >= bpf && ring_.Available() >= bpf) {
            std::size_t n = std::min(want, ring_.Available()) / bpf * bpf;
            void* buffer = nullptr;
            if (pa_stream_begin_write(stream_, &buffer, &n) < 0 || buffer == nullptr)
                break;
            n = ring_.Read(static_cast<std::uint8_t*>(buffer),
                           std::min(n, ring_.Available()) / bpf * bpf);
            if (n == 0) {
                pa_stream_cancel_write(stream_);
                break;
            }
            pa_stream_write(stream_, buffer, n, nullptr, 0, PA_SEEK_RELATIVE);
            moved_ += static_cast<std::int64_t>(n / bpf);
            want -= n;
            moved = true;
        }
        const bool empty = ring_.Available() < bpf;
        starved_ = empty;
        if (empty && drainWanted_ && !drainIssued_) {
            drainIssued_ = true;
            drainOp_ = pa_stream_drain(stream_, &PulsePlayback::OnDrained, this);
        }
        // The writer is woken to top the buffer up, not for every piece the server takes.
        if (moved && wake_ && ring_.Available() < topUpBelow_)
            wake_();
    }

    std::shared_ptr<PulseCore> core_;
    PcmFormat format_;
    WakeFunction wake_;
    RingBuffer ring_;
    const std::size_t topUpBelow_ = MsToBytes(format_, kPlaybackTopUpMs);
    pa_stream* stream_ = nullptr;
    pa_defer_event* kick_ = nullptr;
    pa_operation* drainOp_ = nullptr; // the drain in flight, cancelled before the stream goes
    bool ready_ = false;
    std::atomic<bool> starved_{true};
    std::atomic<std::int64_t> moved_{0}; // frames handed to the server since open or flush
    std::int64_t played_ = 0;            // the UI's latest estimate
    // Below: touched only with the main-loop lock held.
    bool drainWanted_ = false;
    bool drainIssued_ = false;
    bool drained_ = false;
    StreamError error_;
};

AudioSource ToSource(const pa_source_info& info) {
    AudioSource s;
    s.name = info.name ? info.name : "";
    s.description = info.description ? info.description : s.name;
    s.monitor = info.monitor_of_sink != PA_INVALID_INDEX;
    for (std::uint32_t i = 0; i < info.n_ports; ++i) {
        const pa_source_port_info* p = info.ports[i];
        s.ports.push_back({p->name ? p->name : "", p->description ? p->description : ""});
        if (p == info.active_port)
            s.activePort = static_cast<int>(i);
    }
    s.volume = static_cast<int>(pa_cvolume_avg(&info.volume));
    return s;
}

class PulseBackend : public AudioBackend {
public:
    explicit PulseBackend(const std::string& appName)
        : core_(std::make_shared<PulseCore>(appName)) {}

    std::vector<AudioSource> Sources() override {
        PulseCore::Lock lock(*core_);
        Query<AudioSource> q{core_.get()};
        core_->Wait(pa_context_get_source_info_list(core_->Context(), &OnSource, &q),
                    "Cannot list the sound inputs");
        return q.items;
    }

    std::optional<AudioSource> Source(const std::string& name) override {
        PulseCore::Lock lock(*core_);
        return SourceLocked(name);
    }

    std::vector<AudioSink> Sinks() override {
        PulseCore::Lock lock(*core_);
        Query<AudioSink> q{core_.get()};
        core_->Wait(pa_context_get_sink_info_list(core_->Context(), &OnSink, &q),
                    "Cannot list the sound outputs");
        return q.items;
    }

    void SetActivePort(const std::string& source, const std::string& port) override {
        PulseCore::Lock lock(*core_);
        Result r{core_.get()};
        const std::string what = "Cannot select the input " + port + " of " + source;
        core_->Wait(pa_context_set_source_port_by_name(core_->Context(), source.c_str(),
                                                       port.c_str(), &OnSuccess, &r),
                    what);
        if (!r.ok)
            throw ComponentError(what + ": " + core_->LastError());
    }

    void SetSourceVolume(const std::string& source, int volume) override {
        PulseCore::Lock lock(*core_);
        const auto info = SourceLocked(source);
        const std::string what = "Cannot set the volume of " + source;
        if (!info)
            throw ComponentError(what + ": no such input");
        pa_cvolume cv;
        pa_cvolume_set(&cv, channels_, static_cast<pa_volume_t>(std::clamp(volume, 0, 65536)));
        Result r{core_.get()};
        core_->Wait(pa_context_set_source_volume_by_name(core_->Context(), info->name.c_str(), &cv,
                                                         &OnSuccess, &r),
                    what);
        if (!r.ok)
            throw ComponentError(what + ": " + core_->LastError());
    }

    void WatchDevices(WakeFunction changed) override {
        PulseCore::Lock lock(*core_);
        const bool watching = static_cast<bool>(changed);
        core_->SetDevicesWatcher(std::move(changed));
        if (!watching)
            return;
        try {
            core_->Context(); // connect now, so the events start flowing
        } catch (const ComponentError&) {
            // No server yet: the next connection subscribes.
        }
    }

    std::unique_ptr<CaptureStream> OpenCapture(const std::string& source, const PcmFormat& format,
                                               WakeFunction wake) override {
        return std::make_unique<PulseCapture>(core_, source, format, std::move(wake));
    }

    std::unique_ptr<PlaybackStream> OpenPlayback(const std::string& sink, const PcmFormat& format,
                                                 WakeFunction wake) override {
        return std::make_unique<PulsePlayback>(core_, sink, format, std::move(wake));
    }

    std::int64_t NowMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

private:
    template <class T> struct Query {
        explicit Query(PulseCore* c) : core(c) {}
        PulseCore* core;
        std::vector<T> items;
        std::uint8_t channels = 0;
    };
    struct Result {
        explicit Result(PulseCore* c) : core(c) {}
        PulseCore* core;
        bool ok = false;
    };

    std::optional<AudioSource> SourceLocked(const std::string& name) {
        Query<AudioSource> q{core_.get()};
        pa_context* ctx = core_->Context();
        core_->Wait(pa_context_get_source_info_by_name(ctx, name.c_str(), &OnSource, &q),
                    "Cannot read the sound input " + name);
        if (q.items.empty())
            return std::nullopt;
        channels_ = std::max<std::uint8_t>(q.channels, 1);
        return q.items.front();
    }

    static void OnSource(pa_context*, const pa_source_info* info, int eol, void* self) {
        auto* q = static_cast<Query<AudioSource>*>(self);
        if (eol == 0 && info != nullptr) {
            q->items.push_back(ToSource(*info));
            q->channels = info->channel_map.channels;
        }
        q->core->Signal();
    }

    static void OnSink(pa_context*, const pa_sink_info* info, int eol, void* self) {
        auto* q = static_cast<Query<AudioSink>*>(self);
        if (eol == 0 && info != nullptr)
            q->items.push_back(
                {info->name ? info->name : "", info->description ? info->description : ""});
        q->core->Signal();
    }

    static void OnSuccess(pa_context*, int success, void* self) {
        auto* r = static_cast<Result*>(self);
        r->ok = success != 0;
        r->core->Signal();
    }

    std::shared_ptr<PulseCore> core_;
    std::uint8_t channels_ = 2; // of the source read last
};

} // namespace

std::shared_ptr<AudioBackend> MakePulseBackend(const std::string& appName) {
    return std::make_shared<PulseBackend>(appName);
}
