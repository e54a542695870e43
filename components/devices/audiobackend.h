#pragma once

#include "pcmformat.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The sound server as the capture and player components see it: devices, their ports and
// volumes, and PCM streams in a given format. Two implementations: PulseBackend (production) and
// SimulatedBackend (tests).
//
// Threads: every method of the backend and of its streams is called from the one thread that owns
// the components (the UI thread). An implementation may run its own thread to move samples; that
// thread touches nothing but its own streams' buffers and atomics, and the `wake` functions it
// was given, which it calls from there.
//
// Ownership: a stream may outlive the backend object that opened it (the implementation keeps what
// the stream needs alive). Once a stream's destructor has returned, its wake function is never
// called again and nothing the implementation runs refers to the stream any more. A wake function
// itself must stay callable for as long as the stream holds it: the components' (uiwake.h) hold
// only a shared eventfd, never the component.
//
// Errors: a failing operation throws ComponentError whose message names the device and the cause
// (for example "Cannot connect to the sound server: Connection refused").
//
// Volumes are 0..65536 for 0..100 % (PulseAudio's PA_VOLUME_NORM is 65536).

struct AudioPort {
    std::string name;        // server name, used to select the port
    std::string description; // what the user sees
};

struct AudioSource {
    std::string name;        // server name, passed back to OpenCapture and the setters
    std::string description; // what the user sees
    bool monitor = false;    // the monitor of a sink
    std::vector<AudioPort> ports;
    int activePort = -1; // index into ports; -1 when the source has none
    int volume = 0;      // 0..65536, the average over the source's channels
};

struct AudioSink {
    std::string name;
    std::string description;
};

// Called when new data or a state change is waiting: captured data, a failure, the end of a
// drain, and a playback buffer holding less than kPlaybackTopUpMs still to play. It may be called
// from the backend's own thread and must only schedule work on the UI thread without touching any
// object of it (uiwake.h writes to an eventfd); it must not call back into the stream. Called on
// the UI thread itself, it may do the work at once.
using WakeFunction = std::function<void()>;
// A writer that keeps more than this queued ahead is woken about once per this much audio.
constexpr int kPlaybackTopUpMs = 1000;

// A capture stream, open from OpenCapture until destroyed. The backend keeps at least ten seconds
// of captured audio for the reader, so a UI thread that is busy for a few seconds loses nothing.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;

    // Copies up to maxBytes of captured PCM in the stream's format (whole frames only) and returns
    // the byte count; 0 when nothing is waiting. Never blocks.
    virtual std::size_t Read(std::uint8_t* dst, std::size_t maxBytes) = 0;
    // Frames the stream had to drop since it was opened (buffer full, gaps from the server).
    virtual std::int64_t LostFrames() const = 0;
    // Frames the device has captured by now that have not yet reached Read: the audio on its
    // way through the server. A stop waits for them, so a recording ends when it was stopped,
    // not one server latency earlier. 0 when nothing is in flight or the server cannot tell.
    virtual std::int64_t InFlightFrames() = 0;
    // Empty while the stream works; once it failed (the server went away, the device vanished),
    // the cause, and no further data arrives. Data already captured can still be read.
    virtual std::string Error() const = 0;

    // How much audio the server hands over at a time, in frames, as the server agreed when the
    // stream started and as it agreed last. A stream starts with short fragments, so the first
    // audio arrives at once, and moves to long ones once it has, so that the sound thread wakes
    // seldom while it records. Zeros where the backend has no fragments.
    struct Fragments {
        std::int64_t atStart = 0;
        std::int64_t now = 0;
    };
    virtual Fragments FragmentFrames() const { return {}; }
};

// A playback stream, open from OpenPlayback until destroyed; it starts unpaused. The backend
// buffers at least ten seconds written by Write.
class PlaybackStream {
public:
    virtual ~PlaybackStream() = default;

    // Takes as much of the PCM as fits (whole frames only) and returns the byte count taken.
    // Never blocks.
    virtual std::size_t Write(const std::uint8_t* src, std::size_t bytes) = 0;
    // Frames played out by the device since the stream was opened or last flushed; grows
    // monotonically between flushes and never passes the frames written.
    virtual std::int64_t PlayedFrames() = 0;
    // Paused, the device consumes nothing and what is buffered stays.
    virtual void SetPaused(bool paused) = 0;
    // Drops everything written and not yet played; PlayedFrames starts again from 0.
    virtual void Flush() = 0;
    // No more data follows for now: play out everything written, even a remainder shorter than
    // the device's start threshold, until PlayedFrames reaches the frames written.
    virtual void Drain() = 0;
    virtual void SetVolume(int volume) = 0; // 0..65536
    virtual void SetMute(bool mute) = 0;
    virtual std::string Error() const = 0; // as CaptureStream::Error
};

class AudioBackend {
public:
    // A source name that follows the system's default source wherever it is accepted.
    static constexpr const char* kDefaultSource = "@DEFAULT_SOURCE@";
    static constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

    virtual ~AudioBackend() = default;

    // Every source, monitors included, in the server's order. Blocks for one server round trip.
    virtual std::vector<AudioSource> Sources() = 0;
    // One source by name (kDefaultSource allowed); nothing when there is no such source.
    virtual std::optional<AudioSource> Source(const std::string& name) = 0;
    virtual std::vector<AudioSink> Sinks() = 0;
    virtual void SetActivePort(const std::string& source, const std::string& port) = 0;
    // Sets every channel of the source to `volume` (0..65536).
    virtual void SetSourceVolume(const std::string& source, int volume) = 0;
    // From now on calls `changed` (like a wake function: from any thread, only to schedule work)
    // whenever a source or sink is added or removed while the server is connected. Replaces the
    // previous watcher; an empty function stops watching. Never throws: without a server, the
    // watch starts with the next connection.
    virtual void WatchDevices(WakeFunction changed) = 0;

    // Opens a stream in exactly `format`; the server converts and resamples from the device.
    // Returns once the stream runs, or throws. `wake` as described above.
    virtual std::unique_ptr<CaptureStream>
    OpenCapture(const std::string& source, const PcmFormat& format, WakeFunction wake) = 0;
    virtual std::unique_ptr<PlaybackStream>
    OpenPlayback(const std::string& sink, const PcmFormat& format, WakeFunction wake) = 0;

    // A monotonic clock in milliseconds that paces the components' periodic events: real time
    // for PulseAudio, the test's clock for a simulation.
    virtual std::int64_t NowMs() const = 0;
};

// The production backend. Creating it never fails: it connects on first use and again after the
// server went away, and each operation throws ComponentError while no server answers.
std::shared_ptr<AudioBackend> MakePulseBackend(const std::string& appName);
