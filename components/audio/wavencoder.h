#pragma once

#include "audioencoder.h"
#include "block.h"
#include "filesink.h"

#include <cstdint>

// RIFF WAVE with PCM samples. 8, 16 and 32 bits are plain PCM (8-bit unsigned, the others
// signed); 2 to 5 bits are rounded to that many bits and stored in 8-bit containers under
// WAVE_FORMAT_EXTENSIBLE with the valid-bits field set, so standard readers open them.
//
// The header is brought up to date after every block. A JUNK chunk reserved after "WAVE" lets a
// recording that outgrows the 32-bit RIFF sizes turn into RF64 (EBU Tech 3306) in place: the
// JUNK chunk becomes "ds64" carrying the 64-bit sizes.
class WavEncoder : public AudioEncoder {
public:
    // `rf64Threshold`: data size in bytes beyond which the file is written as RF64.
    WavEncoder(int sampleRate, int channels, int bits, std::uint64_t rf64Threshold);

    PcmFormat InputFormat() const override { return input_; }
    void Open(const std::string& path) override;
    void Write(const std::uint8_t* pcm, std::size_t frames) override;
    void Close() override;

    // The default threshold: the largest data chunk whose RIFF size still fits 32 bits with the
    // tag chunks added after it (kRiffTagRoomBytes).
    static std::uint64_t DefaultRf64Threshold();

private:
    void UpdateHeader();

    PcmFormat input_;
    int bits_;      // bits stored per sample (2..5 mean that many valid bits in a byte)
    int container_; // bytes per stored sample
    std::uint64_t rf64Threshold_;
    FileSink sink_;
    std::uint64_t dataOffset_ = 0; // where the samples start
    std::uint64_t dataBytes_ = 0;
    std::uint64_t fmtEnd_ = 0;
    bool rf64_ = false;
    Block scratch_;
};
