#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Where the MPEG audio frames of an MP3 recording start, kept in the recording's ID3v2 tag so
// that a seek into a long recording finds the frame it needs without reading the stream up to
// it. LAME's info frame has a table of 100 byte positions, which places a seek in a 10-hour VBR
// file only to within 6 minutes and never says which frame it landed on; this index names the
// exact frame every `stride` frames.
//
// The index is an experimental ID3v2.4 frame "XIDX" (identifiers starting with X are free for
// private use; other readers skip it, tag editors keep it). It is the first frame of the tag and
// has a fixed size, so the stop writes it in place, like the tags. Its body, big-endian:
//   "MFI1", stride (4), entries (4), frames in the stream (4), bytes of the stream (8),
//   then per entry the low 32 bits of the stream offset of frame i * stride.
// The stream starts at the first MPEG frame (LAME's info frame, frame 0), right after the tag.
// An index with no entries (a recording still being written, or killed) says nothing.

// The length of the MPEG audio layer III frame whose 4-byte header is at `h`, 0 if it is none.
std::size_t Mp3FrameLength(const std::uint8_t* h);

// Sets the byte count of the Xing/Info frame `frame` (`size` bytes) to 0, "not known", and
// brings the CRC of its LAME tag up to date. LAME counts the stream's bytes in 32 bits: past
// 4 GiB the count wraps, and a reader that compares it with the file (FFmpeg) then takes the file
// for a concatenation and drops the frame count. False, the frame unchanged, when it is not an
// info frame with a byte count.
bool ClearInfoFrameByteCount(std::uint8_t* frame, std::size_t size);

constexpr char kMp3IndexFrameId[] = "XIDX";
// Entries a recording's index holds; a longer recording keeps every other entry and doubles the
// stride, so 10 hours at 44.1 kHz have an entry every 256 frames (6.7 s).
constexpr std::size_t kMp3IndexEntries = 8192;
// The size of the index frame with `entries` entries, its 10-byte frame header included.
std::size_t Mp3IndexFrameBytes(std::size_t entries = kMp3IndexEntries);

// Builds the index from the stream's bytes as the encoder writes them.
class Mp3FrameIndexer {
public:
    explicit Mp3FrameIndexer(std::size_t entries = kMp3IndexEntries);
    // The next bytes of the stream, in order, from its first frame on.
    void Feed(const std::uint8_t* data, std::size_t size);
    // The index frame (frame header included) of Mp3IndexFrameBytes(entries) bytes. Empty of
    // entries when the bytes fed were not whole layer III frames, one after the other.
    std::vector<std::uint8_t> Render() const;
    std::uint64_t Frames() const { return frames_; }

private:
    std::size_t capacity_;
    std::uint32_t stride_ = 1;
    std::vector<std::uint64_t> offsets_;
    std::uint64_t fed_ = 0;       // stream bytes fed
    std::uint64_t next_ = 0;      // where the next frame starts
    std::uint64_t frames_ = 0;    // frames whose header was seen
    std::uint8_t header_[4] = {}; // the next frame's header as far as it was fed
    bool broken_ = false;
};

// A parsed index.
struct Mp3FrameIndex {
    std::uint32_t stride = 0;
    std::uint64_t frames = 0; // in the stream, the info frame included
    std::uint64_t bytes = 0;  // of the stream, from the info frame to the end of the last frame
    std::vector<std::uint64_t> offsets; // of frame i * stride, from the start of the stream

    // Parses an index frame's body; false, and the index left empty, when it is malformed or
    // has no entries.
    bool Parse(const std::uint8_t* body, std::size_t size);
};

// The index in the ID3v2 tag at the start of `tag` (the tag's first bytes, at least its first
// frame), or false when the tag does not start with one.
bool FindMp3FrameIndex(const std::uint8_t* tag, std::size_t size, Mp3FrameIndex& index);
