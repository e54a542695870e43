#pragma once

#include "audioencoder.h"
#include "filesink.h"

#include <memory>

// Ogg Vorbis through libvorbisenc: managed bit rates (nominal, minimum, maximum in kbit/s) or VBR
// quality (0..1000 meaning 0.0..1.0). Every Write ends with a page flush, so a killed program
// leaves complete pages up to the last block. The comment header holds room for the tags on pages
// of its own, laid out so that tagging the finished recording rewrites those pages only and a
// kill meanwhile never tears one (oggcommentpages.h).
class OggEncoder : public AudioEncoder {
public:
    struct Settings {
        int sampleRate = 44100;
        int channels = 2;
        int bitrate = 128; // nominal, kbit/s
        int minBitrate = 128;
        int maxBitrate = 128;
        int quality = -1; // -1: managed bit rates; else 0..1000
    };

    explicit OggEncoder(const Settings& settings);
    ~OggEncoder() override;

    PcmFormat InputFormat() const override { return input_; }
    void Open(const std::string& path) override;
    void Write(const std::uint8_t* pcm, std::size_t frames) override;
    void Close() override;

    // libvorbisenc's own answer whether it sets up that managed bit-rate encoding.
    static bool IsManagedSupported(int sampleRate, int channels, int bitrate, int minBitrate,
                                   int maxBitrate);

private:
    struct State;
    void Drain();
    void WritePages(bool flush);

    Settings settings_;
    PcmFormat input_;
    std::unique_ptr<State> st_;
    FileSink sink_;
};
