#include "taudiofile2.h"

#include "audiodecoder.h"
#include "audioencoder.h"
#include "componenterror.h"
#include "filesink.h"
#include "mp3encoder.h"
#include "oggencoder.h"
#include "rawcodec.h"
#include "rawencoder.h"
#include "wavencoder.h"
#include "wmaencoder.h"
#include "wmapresets.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <variant>

namespace {

struct WavChoice {
    int rate, channels, bits;
};
struct WmaChoice {
    int preset;
};

} // namespace

// The format chosen for the next CreateForWrite, plus the RAW format used for reading.
struct TAudioFile2::WriteChoice {
    std::variant<std::monostate, Mp3EncoderSettings, WavChoice, WmaChoice, OggEncoder::Settings,
                 RawFormat>
        format;
    RawFormat raw; // the last SetRawFormat, also for reading ".raw" files
    Block partial; // a trailing partial frame kept for the next WriteBlock
    PcmFormat io;  // what WriteBlock takes or ReadBlock gives
    std::string path;
};

TAudioFile2::TAudioFile2()
    : choice_(std::make_unique<WriteChoice>()), rf64Threshold_(WavEncoder::DefaultRf64Threshold()) {
    // FFmpeg narrates every damaged frame on stderr; the component reports failures itself.
    av_log_set_level(AV_LOG_FATAL);
}

TAudioFile2::~TAudioFile2() {
    try {
        CloseFile();
    } catch (...) {
        // A destructor cannot report; CloseFile raised to an earlier caller if it could.
    }
}

void TAudioFile2::SetStartupFlag(bool) {}

bool TAudioFile2::IsOpen() const {
    return encoder_ != nullptr || decoder_ != nullptr;
}

void TAudioFile2::CloseFile() {
    decoder_.reset();
    if (encoder_) {
        // The encoder goes whatever Close reports, so a failed close is not retried forever.
        std::unique_ptr<AudioEncoder> encoder = std::move(encoder_);
        choice_->partial.clear();
        encoder->Close();
    }
}

void TAudioFile2::SetPcmFormat(int sampleRate, int channels, int bitsPerSample) {
    choice_->format = WavChoice{sampleRate, channels, bitsPerSample};
}

void TAudioFile2::SetWmaFormat(int preset) {
    choice_->format = WmaChoice{preset};
}

void TAudioFile2::SetRawFormat(int codec, int sampleRate, int channels, int bitsPerSample) {
    choice_->raw = RawFormat{codec, sampleRate, channels, bitsPerSample};
    choice_->format = choice_->raw;
}

void TAudioFile2::SetOggFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                               int maxBitrate, std::int16_t quality) {
    OggEncoder::Settings s;
    s.sampleRate = sampleRate;
    s.channels = channels;
    s.bitrate = bitrate;
    s.minBitrate = minBitrate;
    s.maxBitrate = maxBitrate;
    s.quality = quality < 0 ? -1 : quality;
    choice_->format = s;
}

bool TAudioFile2::IsOggFormatSupported(int sampleRate, int channels, int bitrate, int minBitrate,
                                       int maxBitrate) const {
    return OggEncoder::IsManagedSupported(sampleRate, channels, bitrate, minBitrate, maxBitrate);
}

bool TAudioFile2::IsMp3FormatSupported(int sampleRate, int bitrate, int channelMode) const {
    return Mp3Encoder::IsSupported(sampleRate, bitrate, channelMode);
}

void TAudioFile2::SetMp3Encoder(const Mp3EncoderSettings& settings) {
    choice_->format = settings;
}

void TAudioFile2::CreateForWrite(const QString& path, int) {
    CloseFile();
    const std::string p = path.toStdString();
    std::unique_ptr<AudioEncoder> encoder;
    struct Make {
        const std::string& path;
        std::uint64_t rf64;
        std::size_t mp3IndexEntries;
        std::unique_ptr<AudioEncoder> operator()(std::monostate) const {
            throw ComponentError(FileErrorText("create", path, "no output format was chosen"));
        }
        std::unique_ptr<AudioEncoder> operator()(const Mp3EncoderSettings& s) const {
            auto mp3 = std::make_unique<Mp3Encoder>(s);
            if (mp3IndexEntries > 0)
                mp3->SetIndexEntriesForTesting(mp3IndexEntries);
            return mp3;
        }
        std::unique_ptr<AudioEncoder> operator()(const WavChoice& w) const {
            return std::make_unique<WavEncoder>(w.rate, w.channels, w.bits, rf64);
        }
        std::unique_ptr<AudioEncoder> operator()(const WmaChoice& w) const {
            WmaPreset preset;
            if (!LookUpWmaPreset(w.preset, preset))
                throw ComponentError(FileErrorText(
                    "create", path, "WMA preset " + std::to_string(w.preset) + " does not exist"));
            if (preset.lossless)
                throw ComponentError(
                    "WMA Lossless is not available here; choose WAV for lossless recording.");
            return std::make_unique<WmaEncoder>(preset.sampleRate, preset.channels, preset.bitrate);
        }
        std::unique_ptr<AudioEncoder> operator()(const OggEncoder::Settings& s) const {
            return std::make_unique<OggEncoder>(s);
        }
        std::unique_ptr<AudioEncoder> operator()(const RawFormat& r) const {
            RawLayout layout;
            std::string why;
            if (!DescribeRaw(r, layout, why))
                throw ComponentError(FileErrorText("create", path, why));
            return std::make_unique<RawEncoder>(layout);
        }
    };
    encoder = std::visit(Make{p, rf64Threshold_, mp3IndexEntries_}, choice_->format);
    encoder->Open(p);
    choice_->io = encoder->InputFormat();
    choice_->partial.clear();
    choice_->path = p;
    encoder_ = std::move(encoder);
}

void TAudioFile2::WriteBlock(const Block& block) {
    if (!encoder_)
        throw ComponentError(FileErrorText("write",
                                           choice_->path.empty() ? "(none)" : choice_->path,
                                           "no file is open for writing"));
    const std::size_t frameBytes = static_cast<std::size_t>(choice_->io.BytesPerFrame());
    Block& partial = choice_->partial;
    const std::uint8_t* data = block.data();
    std::size_t size = block.size();
    if (!partial.empty()) {
        // Complete the frame split across the previous block first.
        const std::size_t need = std::min(frameBytes - partial.size(), size);
        partial.insert(partial.end(), data, data + need);
        data += need;
        size -= need;
        if (partial.size() == frameBytes) {
            Block frame;
            frame.swap(partial);
            encoder_->Write(frame.data(), 1);
        }
    }
    const std::size_t whole = size / frameBytes;
    if (whole > 0)
        encoder_->Write(data, whole);
    partial.insert(partial.end(), data + whole * frameBytes, data + size);
}

std::int32_t TAudioFile2::GetFormatHandle() const {
    return choice_->io.Handle();
}

std::int32_t TAudioFile2::GetFormatParam() const {
    return choice_->io.Param();
}

void TAudioFile2::OpenForRead(const QString& path, int, int) {
    CloseFile();
    const std::string p = path.toStdString();
    decoder_ = OpenAudioDecoder(p, choice_->raw);
    choice_->io = PcmFormat{decoder_->SampleRate(), decoder_->Channels(), SampleType::S16};
    choice_->path = p;
}

namespace {
[[noreturn]] void NotOpen() {
    throw ComponentError("No file is open for reading.");
}
} // namespace

std::int64_t TAudioFile2::GetDurationMs() const {
    if (!decoder_)
        NotOpen();
    return FramesToMs(decoder_->LengthFrames(), decoder_->SampleRate());
}

std::int64_t TAudioFile2::GetLengthSamples() const {
    if (!decoder_)
        NotOpen();
    return decoder_->LengthFrames();
}

int TAudioFile2::GetSampleRate() const {
    if (!decoder_)
        NotOpen();
    return decoder_->SampleRate();
}

int TAudioFile2::GetBitRate() const {
    if (!decoder_)
        NotOpen();
    return decoder_->BitRate();
}

int TAudioFile2::GetChannels() const {
    if (!decoder_)
        NotOpen();
    return decoder_->Channels();
}

int TAudioFile2::Seek(std::int64_t frames, int) {
    if (!decoder_)
        NotOpen();
    decoder_->Seek(frames);
    return 0;
}

Block TAudioFile2::ReadBlock(int frames) {
    if (!decoder_)
        NotOpen();
    return decoder_->Read(frames);
}

void TAudioFile2::SetRf64ThresholdForTesting(std::uint64_t bytes) {
    rf64Threshold_ = bytes;
}

void TAudioFile2::SetMp3IndexEntriesForTesting(std::size_t entries) {
    mp3IndexEntries_ = entries;
}
