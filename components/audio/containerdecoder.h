#pragma once

#include "mp3frameindex.h"
#include "packetdecoder.h"

#include <memory>

struct AVFormatContext;

// Files with a container (WAV, MP3, Ogg, ASF and whatever else FFmpeg recognises). Opening reads
// only the headers: the length comes from the container where it records one, and only a file
// without any record of its length (a killed recording) is scanned, packet by packet, once.
// An MP3 recording of ours seeks through the frame index in its tag (mp3frameindex.h) straight
// to the frame it needs; other MP3 files through FFmpeg's index, built by reading up to there.
class ContainerDecoder : public PacketDecoder {
public:
    explicit ContainerDecoder(const std::string& path);
    ~ContainerDecoder() override;

    std::int64_t LengthFrames() override;
    int BitRate() override;

protected:
    int ReadPacket(AVPacket* packet) override;
    std::int64_t Reposition(std::int64_t frame) override;
    std::int64_t FramePosition(const AVFrame* frame) override;
    std::int64_t Preroll() const override;

private:
    std::int64_t ToFrames(std::int64_t ts) const;
    std::int64_t ScanLength();
    // The timestamp of the first decoded frame: frame 0 of our count.
    void LearnOrigin();
    // An MP3 recording of ours: places the demuxer at the frame that holds `frame` by the
    // recording's frame index and returns that frame's first sample; kUnknown when the file has
    // no index that agrees with it (the demuxer is then where it was).
    std::int64_t RepositionByIndex(std::int64_t frame);

    // What the start of an MP3 file says: where its frames start, and what its info frame
    // says (length >= 0 when it says enough).
    struct Mp3Stream {
        std::int64_t length = -1; // sample frames a gapless decoder gives
        std::int64_t start = 0;   // file offset of the info frame, the stream's frame 0
        std::int64_t frames = 0;  // audio frames after the info frame
        int samplesPerFrame = 0;
        int skip = 0; // samples the decoder drops at the start
        std::uint8_t header[4] = {};
        bool framed = false; // an ID3v2 tag, then two layer III frames of one stream
    };
    static Mp3Stream ReadMp3Stream(const std::string& path);

    struct FormatCloser {
        void operator()(AVFormatContext* format) const;
    };
    // Owned through a smart pointer: a constructor that fails half-way must still close it.
    std::unique_ptr<AVFormatContext, FormatCloser> formatOwner_;
    AVFormatContext* format_ = nullptr;
    int stream_ = -1;
    std::int64_t length_ = -1;
    std::int64_t origin_ = kUnknown;
    int frameSize_ = 0; // the codec's fixed frame length, 0 when it varies
    Mp3Stream mp3_;
    enum class IndexState { Unread, Usable, None } indexState_ = IndexState::None;
    Mp3FrameIndex index_;
    bool byIndex_ = false; // placed by the index since the last seek
};
