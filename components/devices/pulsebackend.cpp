#include "audiobackend.h"
#include "componenterror.h"

// Placeholder until the libpulse implementation lands: every operation reports no server.
namespace {
class NoServer : public AudioBackend {
public:
    [[noreturn]] static void Fail() {
        throw ComponentError("Cannot connect to the sound server: not built yet");
    }
    std::vector<AudioSource> Sources() override { Fail(); }
    std::optional<AudioSource> Source(const std::string&) override { Fail(); }
    std::vector<AudioSink> Sinks() override { Fail(); }
    void SetActivePort(const std::string&, const std::string&) override { Fail(); }
    void SetSourceVolume(const std::string&, int) override { Fail(); }
    std::unique_ptr<CaptureStream> OpenCapture(const std::string&, const PcmFormat&,
                                               WakeFunction) override { Fail(); }
    std::unique_ptr<PlaybackStream> OpenPlayback(const std::string&, const PcmFormat&,
                                                 WakeFunction) override { Fail(); }
    std::int64_t NowMs() const override { return 0; }
};
} // namespace

std::shared_ptr<AudioBackend> MakePulseBackend(const std::string&) {
    return std::make_shared<NoServer>();
}
