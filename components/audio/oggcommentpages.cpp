#include "oggcommentpages.h"

#include <algorithm>
#include <ogg/ogg.h>
#include <set>
#include <utility>

namespace {

constexpr std::size_t kHeaderBytes = 27;
constexpr std::size_t kChecksumAt = 22;
constexpr std::size_t kSegmentBytes = 255;

std::uint64_t BlockEnd(std::uint64_t offset) {
    return (offset / kTagBlockBytes + 1) * kTagBlockBytes;
}

// A depth-first search over the number of full segments on each page, largest first (fewest
// pages), remembering the places from which no layout exists.
class Planner {
public:
    bool Place(std::uint64_t at, std::size_t left) {
        const std::uint64_t end = BlockEnd(at + kChecksumAt);
        // The packet ends on this page if the rest fits: its last lacing value is below 255.
        const std::size_t lastSegments = left / kSegmentBytes + 1;
        if (lastSegments <= 255 && at + kHeaderBytes + lastSegments + left <= end) {
            segments_.push_back(static_cast<int>(lastSegments));
            return true;
        }
        if (left <= kSegmentBytes || dead_.count({at, left}) != 0)
            return false;
        const std::uint64_t room = end > at + kHeaderBytes ? end - at - kHeaderBytes : 0;
        const std::size_t most = std::min<std::size_t>(
            {255, (left - 1) / kSegmentBytes, static_cast<std::size_t>(room / 256)});
        for (std::size_t k = most; k >= 1; --k) {
            segments_.push_back(static_cast<int>(k));
            if (Place(at + kHeaderBytes + 256 * k, left - kSegmentBytes * k))
                return true;
            segments_.pop_back();
        }
        dead_.insert({at, left});
        return false;
    }
    std::vector<int> Segments() const { return segments_; }

private:
    std::vector<int> segments_;
    std::set<std::pair<std::uint64_t, std::size_t>> dead_;
};

void PutLe(std::uint8_t* p, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

std::vector<int> CommentPageSegments(std::uint64_t start, std::size_t packetLen) {
    Planner planner;
    if (packetLen == 0 || !planner.Place(start, packetLen))
        return {};
    return planner.Segments();
}

std::vector<std::uint8_t> RenderCommentPages(const std::vector<std::uint8_t>& packet,
                                             const std::vector<int>& segments, std::uint32_t serial,
                                             std::uint32_t firstSequence) {
    std::vector<std::uint8_t> out;
    std::size_t from = 0;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const bool last = i + 1 == segments.size();
        const auto n = static_cast<std::size_t>(segments[i]);
        const std::size_t body = last ? packet.size() - from : kSegmentBytes * n;
        std::vector<std::uint8_t> header(kHeaderBytes + n, 255);
        std::copy_n("OggS", 4, header.begin());
        header[4] = 0;
        header[5] = i > 0 ? 0x01 : 0x00;
        PutLe(header.data() + 6, last ? 0 : ~std::uint64_t{0}, 8);
        PutLe(header.data() + 14, serial, 4);
        PutLe(header.data() + 18, firstSequence + i, 4);
        PutLe(header.data() + kChecksumAt, 0, 4);
        header[26] = static_cast<std::uint8_t>(n);
        if (last)
            header.back() = static_cast<std::uint8_t>(body - kSegmentBytes * (n - 1));
        std::vector<std::uint8_t> bytes(packet.begin() + static_cast<std::ptrdiff_t>(from),
                                        packet.begin() + static_cast<std::ptrdiff_t>(from + body));
        ogg_page page{header.data(), static_cast<long>(header.size()), bytes.data(),
                      static_cast<long>(bytes.size())};
        ogg_page_checksum_set(&page);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), bytes.begin(), bytes.end());
        from += body;
    }
    return out;
}

bool PageInOneBlock(std::uint64_t offset, std::size_t length) {
    return length > kChecksumAt &&
           (offset + kChecksumAt) / kTagBlockBytes == (offset + length - 1) / kTagBlockBytes;
}
