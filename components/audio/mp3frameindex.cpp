#include "mp3frameindex.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kBodyHead = 24;

void PutBe(std::vector<std::uint8_t>& b, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint64_t Be(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

std::size_t SyncSafe(const std::uint8_t* p) {
    return static_cast<std::size_t>(p[0] & 0x7f) << 21 |
           static_cast<std::size_t>(p[1] & 0x7f) << 14 |
           static_cast<std::size_t>(p[2] & 0x7f) << 7 | (p[3] & 0x7f);
}

} // namespace

std::size_t Mp3FrameLength(const std::uint8_t* h) {
    static const int kMpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kMpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int kRates[3][3] = {
        {11025, 12000, 8000}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    if (h[0] != 0xff || (h[1] & 0xe0) != 0xe0 || ((h[1] >> 1) & 3) != 1)
        return 0;
    const int version = (h[1] >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return 0;
    const int rate = kRates[version == 3 ? 2 : version == 2 ? 1 : 0][rateIndex];
    const int kbps = version == 3 ? kMpeg1[bitrateIndex] : kMpeg2[bitrateIndex];
    const int factor = version == 3 ? 144 : 72;
    return static_cast<std::size_t>(factor * kbps * 1000 / rate + ((h[2] >> 1) & 1));
}

bool ClearInfoFrameByteCount(std::uint8_t* frame, std::size_t size) {
    if (size < 4 || Mp3FrameLength(frame) == 0)
        return false;
    const int version = (frame[1] >> 3) & 3; // 3 MPEG-1
    const bool mono = ((frame[3] >> 6) & 3) == 3;
    std::size_t at = 4 + (version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if ((frame[1] & 1) == 0)
        at += 2; // CRC
    if (at + 16 > size ||
        (std::memcmp(frame + at, "Xing", 4) != 0 && std::memcmp(frame + at, "Info", 4) != 0))
        return false;
    const std::uint64_t flags = Be(frame + at + 4, 4);
    if ((flags & 2) == 0)
        return false;
    const std::size_t count = at + 8 + ((flags & 1) ? 4 : 0);
    // The LAME tag after the Xing fields ends in a CRC-16 (polynomial 0x8005, reflected) of the
    // frame up to it; it is redone only where it held before.
    const std::size_t crcAt = count + 4 + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0) + 34;
    auto crc16 = [frame](std::size_t n) {
        std::uint32_t crc = 0;
        for (std::size_t i = 0; i < n; ++i) {
            crc ^= frame[i];
            for (int b = 0; b < 8; ++b)
                crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        return crc;
    };
    const bool tagged = crcAt + 2 <= size && crc16(crcAt) == Be(frame + crcAt, 2);
    std::memset(frame + count, 0, 4);
    if (tagged) {
        const std::uint32_t crc = crc16(crcAt);
        frame[crcAt] = static_cast<std::uint8_t>(crc >> 8);
        frame[crcAt + 1] = static_cast<std::uint8_t>(crc);
    }
    return true;
}

std::size_t Mp3IndexFrameBytes(std::size_t entries) {
    return 10 + kBodyHead + 4 * entries;
}

Mp3FrameIndexer::Mp3FrameIndexer(std::size_t entries)
    : capacity_(std::max<std::size_t>(entries & ~std::size_t{1}, 2)) {
    offsets_.reserve(capacity_);
}

void Mp3FrameIndexer::Feed(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t end = fed_ + size;
    while (!broken_ && next_ < end) {
        // The header may arrive in pieces.
        const std::uint64_t have = next_ >= fed_ ? 0 : fed_ - next_;
        const std::size_t from = static_cast<std::size_t>(next_ + have - fed_);
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(4 - have, size - from));
        std::memcpy(header_ + have, data + from, take);
        if (have + take < 4)
            break;
        const std::size_t length = Mp3FrameLength(header_);
        if (length == 0) {
            broken_ = true;
            break;
        }
        if (frames_ % stride_ == 0) {
            if (offsets_.size() == capacity_) {
                for (std::size_t i = 0; i < capacity_ / 2; ++i)
                    offsets_[i] = offsets_[2 * i];
                offsets_.resize(capacity_ / 2);
                stride_ *= 2;
            }
            if (frames_ % stride_ == 0)
                offsets_.push_back(next_);
        }
        ++frames_;
        next_ += length;
    }
    fed_ = end;
}

std::vector<std::uint8_t> Mp3FrameIndexer::Render() const {
    // Only an index of whole frames that reach exactly to the end of what was fed is any use.
    const bool usable = !broken_ && next_ == fed_ && frames_ > 0 && frames_ <= UINT32_MAX;
    const std::size_t bodySize = kBodyHead + 4 * capacity_;
    std::vector<std::uint8_t> b(kMp3IndexFrameId, kMp3IndexFrameId + 4);
    for (int i = 3; i >= 0; --i)
        b.push_back(static_cast<std::uint8_t>((bodySize >> (7 * i)) & 0x7f));
    b.push_back(0);
    b.push_back(0);
    b.insert(b.end(), {'M', 'F', 'I', '1'});
    PutBe(b, usable ? stride_ : 0, 4);
    PutBe(b, usable ? offsets_.size() : 0, 4);
    PutBe(b, usable ? frames_ : 0, 4);
    PutBe(b, usable ? next_ : 0, 8);
    if (usable)
        for (const std::uint64_t o : offsets_)
            PutBe(b, o & 0xffffffffu, 4);
    b.resize(10 + bodySize, 0);
    return b;
}

bool Mp3FrameIndex::Parse(const std::uint8_t* body, std::size_t size) {
    *this = Mp3FrameIndex{};
    if (size < kBodyHead || std::memcmp(body, "MFI1", 4) != 0)
        return false;
    const std::uint64_t step = Be(body + 4, 4), count = Be(body + 8, 4);
    const std::uint64_t total = Be(body + 12, 4), length = Be(body + 16, 8);
    // Every entry present, and as many as the frames call for.
    if (step == 0 || count == 0 || count > (size - kBodyHead) / 4 ||
        count != (total + step - 1) / step || length == 0)
        return false;
    std::vector<std::uint64_t> at(static_cast<std::size_t>(count));
    std::uint64_t prev = 0;
    for (std::size_t i = 0; i < at.size(); ++i) {
        const std::uint32_t low = static_cast<std::uint32_t>(Be(body + kBodyHead + 4 * i, 4));
        // Entries rise, each less than 4 GiB past the one before.
        at[i] = prev + static_cast<std::uint32_t>(low - static_cast<std::uint32_t>(prev));
        if ((i == 0 && at[i] != 0) || (i > 0 && at[i] <= prev) || at[i] >= length)
            return false;
        prev = at[i];
    }
    stride = static_cast<std::uint32_t>(step);
    frames = total;
    bytes = length;
    offsets = std::move(at);
    return true;
}

bool FindMp3FrameIndex(const std::uint8_t* tag, std::size_t size, Mp3FrameIndex& index) {
    index = Mp3FrameIndex{};
    // An ID3v2.4 tag without flags whose first frame is the index.
    if (size < 20 || std::memcmp(tag, "ID3", 3) != 0 || tag[3] != 4 || tag[5] != 0 ||
        std::memcmp(tag + 10, kMp3IndexFrameId, 4) != 0)
        return false;
    const std::size_t tagSize = 10 + SyncSafe(tag + 6);
    const std::size_t frameSize = SyncSafe(tag + 14);
    if (frameSize + 20 > tagSize || frameSize + 20 > size)
        return false;
    return index.Parse(tag + 20, frameSize);
}
