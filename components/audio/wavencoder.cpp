#include "wavencoder.h"

#include "componenterror.h"
#include "pcmconvert.h"
#include "tagroom.h"

#include <cstring>
#include <vector>

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM: 00000001-0000-0010-8000-00aa00389b71
constexpr std::uint8_t kSubtypePcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                          0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
constexpr std::size_t kJunkBody = 28; // room for the ds64 body without a sample table

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(v & 0xff);
    b.push_back((v >> 8) & 0xff);
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xffff);
    Put16(b, v >> 16);
}
void Put64(std::vector<std::uint8_t>& b, std::uint64_t v) {
    Put32(b, static_cast<std::uint32_t>(v));
    Put32(b, static_cast<std::uint32_t>(v >> 32));
}
void PutTag(std::vector<std::uint8_t>& b, const char* tag) {
    b.insert(b.end(), tag, tag + 4);
}

} // namespace

std::uint64_t WavEncoder::DefaultRf64Threshold() {
    // RIFF size = 4 ("WAVE") + JUNK chunk + fmt chunk + data chunk header + data, and the tag
    // chunks appended at the stop: keep a margin for the largest header and for the tags so the
    // 32-bit field never wraps.
    return 0xFFFFFFFFull - 256 - kRiffTagRoomBytes;
}

WavEncoder::WavEncoder(int sampleRate, int channels, int bits, std::uint64_t rf64Threshold)
    : bits_(bits), rf64Threshold_(rf64Threshold) {
    input_.rate = sampleRate;
    input_.channels = channels;
    if (bits <= 8) {
        input_.type = SampleType::U8;
        container_ = 1;
    } else if (bits == 16) {
        input_.type = SampleType::S16;
        container_ = 2;
    } else {
        input_.type = SampleType::S32;
        container_ = 4;
    }
}

void WavEncoder::Open(const std::string& path) {
    if (input_.rate < 1 || input_.channels < 1 || input_.channels > 8 ||
        !(bits_ == 8 || bits_ == 16 || bits_ == 32 || (bits_ >= 2 && bits_ <= 5)))
        throw ComponentError(FileErrorText("create", path,
                                           "WAV with " + std::to_string(bits_) + " bits, " +
                                               std::to_string(input_.channels) +
                                               " channels is not supported"));
    sink_.Create(path);
    const bool extensible = bits_ < 8;
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(container_ * input_.channels);

    std::vector<std::uint8_t> h;
    PutTag(h, "RIFF");
    Put32(h, 0);
    PutTag(h, "WAVE");
    PutTag(h, "JUNK");
    Put32(h, kJunkBody);
    h.insert(h.end(), kJunkBody, 0);
    PutTag(h, "fmt ");
    Put32(h, extensible ? 40 : 16);
    Put16(h, extensible ? kFormatExtensible : kFormatPcm);
    Put16(h, static_cast<std::uint32_t>(input_.channels));
    Put32(h, static_cast<std::uint32_t>(input_.rate));
    Put32(h, static_cast<std::uint32_t>(input_.rate) * blockAlign);
    Put16(h, blockAlign);
    Put16(h, static_cast<std::uint32_t>(container_ * 8));
    if (extensible) {
        Put16(h, 22);
        Put16(h, static_cast<std::uint32_t>(bits_));
        const std::uint32_t mask = input_.channels == 1 ? 0x4 : input_.channels == 2 ? 0x3 : 0;
        Put32(h, mask);
        h.insert(h.end(), kSubtypePcm, kSubtypePcm + 16);
    }
    fmtEnd_ = h.size();
    PutTag(h, "data");
    Put32(h, 0);
    dataOffset_ = h.size();
    dataBytes_ = 0;
    rf64_ = false;
    sink_.Write(h.data(), h.size());
    UpdateHeader();
}

void WavEncoder::Write(const std::uint8_t* pcm, std::size_t frames) {
    const std::size_t bytes = frames * static_cast<std::size_t>(container_ * input_.channels);
    if (bytes == 0)
        return;
    if (bits_ < 8) {
        scratch_.assign(pcm, pcm + bytes);
        QuantiseU8Buffer(scratch_.data(), scratch_.size(), bits_);
        sink_.Write(scratch_.data(), scratch_.size());
    } else {
        sink_.Write(pcm, bytes);
    }
    dataBytes_ += bytes;
    UpdateHeader();
}

void WavEncoder::UpdateHeader() {
    const std::uint64_t riffSize = dataOffset_ - 8 + dataBytes_ + (dataBytes_ & 1);
    if (!rf64_ && dataBytes_ > rf64Threshold_) {
        rf64_ = true;
        const char rf64[4] = {'R', 'F', '6', '4'};
        const char ds64[4] = {'d', 's', '6', '4'};
        sink_.WriteAt(12, ds64, 4);
        sink_.WriteAt(0, rf64, 4);
    }
    std::vector<std::uint8_t> v;
    if (rf64_) {
        // ds64 body: RIFF size, data size, sample count, table length.
        Put64(v, riffSize);
        Put64(v, dataBytes_);
        Put64(v, dataBytes_ / static_cast<std::uint64_t>(container_ * input_.channels));
        Put32(v, 0);
        sink_.WriteAt(20, v.data(), v.size());
        v.clear();
        Put32(v, 0xFFFFFFFFu);
        sink_.WriteAt(4, v.data(), 4);
        sink_.WriteAt(dataOffset_ - 4, v.data(), 4);
    } else {
        Put32(v, static_cast<std::uint32_t>(riffSize));
        sink_.WriteAt(4, v.data(), 4);
        v.clear();
        Put32(v, static_cast<std::uint32_t>(dataBytes_));
        sink_.WriteAt(dataOffset_ - 4, v.data(), 4);
    }
}

void WavEncoder::Close() {
    if (!sink_.IsOpen())
        return;
    if (sink_.Failed()) {
        sink_.Abandon();
        return;
    }
    try {
        // A chunk of odd size is followed by a pad byte, so chunks appended later (tags) stay
        // aligned for every reader.
        if (dataBytes_ & 1) {
            const std::uint8_t pad = 0;
            sink_.Write(&pad, 1);
        }
        sink_.Close();
    } catch (...) {
        sink_.Abandon();
        throw;
    }
}
