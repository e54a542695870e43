#pragma once

#include "audiobackend.h"
#include "block.h"

#include <memory>
#include <string>
#include <vector>

// A sound server for tests. Sources produce a deterministic sine in whatever format a stream asks
// for; the sink consumes at the stream's rate and keeps what it played for inspection.
//
// Use it from one thread only (the test's UI thread); it runs no thread of its own.
//
// Time comes from a clock the test drives. Advance(ms) moves time forward in steps of at most
// 10 ms (SetStepMs); after each step it produces and consumes the audio of that step and calls the
// wake function of every open stream, so the components' events (blocks, timers, block requests,
// failures) have all been delivered, synchronously, when Advance returns. A ComponentError that
// a component raises from such an event comes out of Advance. Elapse(ms) lets time pass as if the
// UI thread were busy: audio is produced and consumed, no stream is woken; Deliver() wakes them.
// Events a component spreads over real time with its own timers (a capture's later meter steps
// when its fragments are long, see SetFragmentMs) come while the Qt event loop runs.
//
// The default constructor scripts one source, "Simulated input" (name "sim_input", 440 Hz, full
// volume) with the ports "Microphone" (active) and "Line In", and one sink "Simulated output".
class SimulatedBackend : public AudioBackend {
public:
    SimulatedBackend();
    ~SimulatedBackend() override;

    // Scripting the devices. The first source added becomes the default unless one is set.
    // Adding and removing sources calls the device watcher, as a server's events would.
    void ClearSources();
    void AddSource(const AudioSource& source, double frequencyHz = 440.0);
    void RemoveSource(const std::string& name);
    void SetDefaultSource(const std::string& name);
    void ClearSinks();
    void AddSink(const AudioSink& sink);

    // Injected failures. Without a server every operation throws and open streams fail.
    void SetServerAvailable(bool available);
    // Streams opened from now on fail after `ms` of clock time; a negative value switches it off.
    void FailStreamsAfter(int ms);
    // Capacity of every stream's buffer opened from now on (default 10 s); lets a test overrun it.
    void SetBufferMs(int ms);
    // The fragment capture streams opened from now on report (FragmentFrames); 0, the default,
    // reports none. Audio still comes with every step of the clock.
    void SetFragmentMs(int ms);

    // The clock (see above).
    void Advance(int ms);
    // The longest step of Advance and Elapse (10 ms unless changed). A simulated recording of
    // many hours takes steps of a second or more; keep them below the buffer (SetBufferMs).
    void SetStepMs(int ms);
    void Elapse(int ms);
    void Deliver();

    // Inspection.
    int OpenCaptureStreams() const;
    int OpenPlaybackStreams() const;
    std::string LastCaptureSource() const; // as passed to OpenCapture
    PcmFormat LastCaptureFormat() const;
    PcmFormat LastPlaybackFormat() const;
    int PlaybackVolume() const; // of the newest open playback stream; -1 if none
    bool PlaybackMuted() const;
    // Everything the sink has played since the last ClearPlayed, in the streams' formats.
    Block Played() const;
    void ClearPlayed();

    // AudioBackend
    std::vector<AudioSource> Sources() override;
    std::optional<AudioSource> Source(const std::string& name) override;
    std::vector<AudioSink> Sinks() override;
    void SetActivePort(const std::string& source, const std::string& port) override;
    void SetSourceVolume(const std::string& source, int volume) override;
    void WatchDevices(WakeFunction changed) override;
    std::unique_ptr<CaptureStream> OpenCapture(const std::string& source, const PcmFormat& format,
                                               WakeFunction wake) override;
    std::unique_ptr<PlaybackStream> OpenPlayback(const std::string& sink, const PcmFormat& format,
                                                 WakeFunction wake) override;
    std::int64_t NowMs() const override;

    struct State; // shared with the streams, which may outlive the backend

private:
    void Step(int ms, bool wake);

    std::shared_ptr<State> state_;
};

// Writes one sample of `value` (-1..1) in `type` at `dst`; shared with tests that build PCM.
void EncodeSample(double value, SampleType type, std::uint8_t* dst);
// Reads one sample of `type` at `src` as -1..1.
double DecodeSample(SampleType type, const std::uint8_t* src);
