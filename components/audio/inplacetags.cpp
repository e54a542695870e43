#include "inplacetags.h"

#include "componenterror.h"
#include "filesink.h"
#include "oggcommentpages.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <ogg/ogg.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint64_t Le(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}
void SetLe(std::uint8_t* p, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes Part(const Bytes& b, std::size_t from, std::size_t to) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(to));
}

// The aligned blocks of the file (kTagBlockBytes) in which `now`, to be written at `offset`
// over `before`, differs from it; in ascending order.
std::vector<std::uint64_t> ChangedBlocks(const Bytes& before, const Bytes& now,
                                         std::uint64_t offset) {
    std::vector<std::uint64_t> blocks;
    for (std::size_t i = 0; i < now.size() && i < before.size(); ++i) {
        const std::uint64_t block = (offset + i) / kTagBlockBytes;
        if (now[i] != before[i] && (blocks.empty() || blocks.back() != block))
            blocks.push_back(block);
    }
    return blocks;
}

std::size_t RoundUpToBlock(std::size_t n) {
    return (n + kTagBlockBytes - 1) / kTagBlockBytes * kTagBlockBytes;
}

// The file being tagged, read and written with plain system calls.
class TagFile {
public:
    TagFile(const std::string& path, const TagWriteHook& hook) : path_(path), hook_(hook) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0)
            Fail();
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            Fail();
        size_ = static_cast<std::uint64_t>(st.st_size);
    }
    ~TagFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TagFile(const TagFile&) = delete;
    TagFile& operator=(const TagFile&) = delete;

    std::uint64_t Size() const { return size_; }

    // Up to `n` bytes from `offset` (fewer at the end of the file).
    Bytes Read(std::uint64_t offset, std::size_t n) const {
        Bytes b(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r =
                ::pread(fd_, b.data() + got, n - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                Fail();
            if (r == 0)
                break;
            got += static_cast<std::size_t>(r);
        }
        b.resize(got);
        return b;
    }
    void Write(std::uint64_t offset, const Bytes& b) {
        if (hook_) {
            hook_(offset, b);
            size_ = std::max(size_, offset + b.size());
            return;
        }
        // The bytes sit in memory at the same place within a page as in the file: a write that
        // stays inside one block of the file then reads from one page of memory, and a fault on
        // it comes before any byte is copied, never half-way through the block.
        const std::size_t lead = static_cast<std::size_t>(offset % kTagBlockBytes);
        std::unique_ptr<std::uint8_t, decltype(&std::free)> aligned(
            static_cast<std::uint8_t*>(
                std::aligned_alloc(kTagBlockBytes, RoundUpToBlock(lead + b.size()))),
            &std::free);
        if (!aligned)
            Fail(ENOMEM);
        std::memcpy(aligned.get() + lead, b.data(), b.size());
        const std::uint8_t* data = aligned.get() + lead;
        std::size_t done = 0;
        while (done < b.size()) {
            const ssize_t w =
                ::pwrite(fd_, data + done, b.size() - done, static_cast<off_t>(offset + done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                Fail(w == 0 ? ENOSPC : errno);
            done += static_cast<std::size_t>(w);
        }
        size_ = std::max(size_, offset + b.size());
    }
    // What was written so far in the `length` bytes from `offset` is handed to writeback and
    // waited for, so that it goes out before anything written later. Only that range: the stop
    // does not wait for the writeback of the whole recording. (A kill needs no such step: the
    // page cache keeps the order. This orders the steps for a machine that loses power, short of
    // the drive's own cache.)
    void Sync(std::uint64_t offset, std::uint64_t length) {
        if (hook_)
            return;
        if (::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                  SYNC_FILE_RANGE_WAIT_AFTER) != 0 &&
            errno != EINVAL && errno != ENOSYS && errno != ESPIPE)
            Fail();
    }
    void Truncate(std::uint64_t size) {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            Fail();
        size_ = size;
    }
    void Close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            Fail();
    }

private:
    [[noreturn]] void Fail(int err = errno) const {
        throw ComponentError(FileErrorText("tag", path_, std::strerror(err)));
    }

    std::string path_;
    TagWriteHook hook_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Writes `image` at `offset` in three steps, each handed to writeback before the next: `stub`
// (a few bytes, in one block, that make the tag end right there, so the rest counts as padding),
// then `image` after those bytes, then its own first bytes. A write cut off at any block
// boundary leaves the old tag, a shorter one or the new one, never sizes that run into the other
// version's bytes.
void WriteStubFirst(TagFile& f, std::uint64_t offset, const Bytes& image, const Bytes& stub) {
    f.Write(offset, stub);
    f.Sync(offset, image.size());
    f.Write(offset + stub.size(), Part(image, stub.size(), image.size()));
    f.Sync(offset, image.size());
    f.Write(offset, Part(image, 0, stub.size()));
}

// --- MP3 ---------------------------------------------------------------------------------------

bool Mp3(TagFile& f, const TagValues& v) {
    const Bytes head = f.Read(0, 10);
    const std::size_t size = Id3TagSize(head.data(), head.size());
    // Our room is a few tens of kilobytes; a larger tag is someone else's.
    if (size == 0 || size > f.Size() || size > (1u << 20))
        return false;
    const Bytes old = f.Read(0, size);
    if (!Id3HoldsOnlyOurFrames(old))
        return false;
    // The recording's frame index stays first, as it is.
    const Bytes index = Id3IndexFrame(old);
    const Bytes tag = RenderId3v2(v, size, index);
    if (tag.empty())
        return false;
    // Same size, same header: only the frames and the padding change. Readers skip the tag by its
    // size, so the audio plays whatever a cut-off write leaves inside it. For the tags to stay
    // readable too, when more than one block changes the frames after the index are written
    // behind a zeroed frame ID (the frames end there for every reader).
    const std::size_t marker = 10 + index.size();
    if (ChangedBlocks(old, tag, 0).size() <= 1 || marker + 4 > size) {
        f.Write(0, tag);
        return true;
    }
    WriteStubFirst(f, marker, Part(tag, marker, size), Bytes(4, 0));
    return true;
}

// --- OGG ---------------------------------------------------------------------------------------

struct OggPageAt {
    std::uint64_t offset;
    std::size_t headerLen, bodyLen;
};

// The pages from the second one on that carry the comment packet, with the packet's length;
// false when the stream does not start with the identification and comment headers.
bool FindCommentPages(const Bytes& d, std::vector<OggPageAt>& pages, std::size_t& packetLen,
                      std::size_t& firstSegment) {
    std::size_t at = 0;
    int index = 0;
    packetLen = 0;
    bool started = false;
    while (at + 27 <= d.size()) {
        if (std::memcmp(d.data() + at, "OggS", 4) != 0 || d[at + 4] != 0)
            return false;
        const std::size_t segments = d[at + 26];
        if (at + 27 + segments > d.size())
            return false;
        std::size_t body = 0;
        for (std::size_t i = 0; i < segments; ++i)
            body += d[at + 27 + i];
        const OggPageAt page{at, 27 + segments, body};
        if (at + page.headerLen + body > d.size())
            return false;
        if (index == 0) {
            // The identification header alone on the first page.
            if (segments != 1 || body < 7 || d[at + 27 + 1] != 1)
                return false;
        } else {
            if (!started) {
                // The comment packet starts this page (no continuation).
                if ((d[at + 5] & 1) != 0 || body < 7 || d[at + page.headerLen] != 3)
                    return false;
                started = true;
                firstSegment = 0;
            }
            pages.push_back(page);
            for (std::size_t i = 0; i < segments; ++i) {
                packetLen += d[at + 27 + i];
                if (d[at + 27 + i] < 255)
                    return true;
            }
        }
        at += page.headerLen + body;
        ++index;
    }
    return false;
}

// The file offset of byte `at` of the packet carried by `pages`.
std::uint64_t PacketByteAt(const std::vector<OggPageAt>& pages, std::size_t at) {
    for (const OggPageAt& p : pages) {
        if (at < p.bodyLen)
            return p.offset + p.headerLen + at;
        at -= p.bodyLen;
    }
    return pages.back().offset + pages.back().headerLen + pages.back().bodyLen;
}

bool Ogg(TagFile& f, const TagValues& v) {
    // The headers sit in the first pages; the room is a few tens of kilobytes.
    const Bytes d = f.Read(0, 4 * VorbisCommentRoomBytes() + 65536);
    std::vector<OggPageAt> pages;
    std::size_t packetLen = 0, firstSegment = 0;
    if (!FindCommentPages(d, pages, packetLen, firstSegment) || pages.empty())
        return false;
    Bytes packet;
    {
        std::size_t left = packetLen;
        for (const OggPageAt& p : pages) {
            const std::size_t n = std::min(left, p.bodyLen);
            const auto* body = d.data() + p.offset + p.headerLen;
            packet.insert(packet.end(), body, body + n);
            left -= n;
        }
    }
    std::string vendor;
    bool onlyOurs = false;
    if (!ParseVorbisComment(packet, vendor, onlyOurs) || !onlyOurs)
        return false;
    const Bytes fresh = RenderVorbisComment(vendor, v, packet.size());
    if (fresh.empty())
        return false;
    // The packet keeps its length, so every page keeps its segment table; the new bytes go into
    // the same places and each page gets its checksum again.
    const std::uint64_t start = pages.front().offset;
    const OggPageAt& last = pages.back();
    const std::uint64_t end = last.offset + last.headerLen + last.bodyLen;
    const Bytes old(d.begin() + static_cast<std::ptrdiff_t>(start),
                    d.begin() + static_cast<std::ptrdiff_t>(end));
    auto render = [&](const Bytes& bytes) {
        Bytes out = old;
        std::size_t from = 0;
        for (const OggPageAt& p : pages) {
            std::uint8_t* header = out.data() + (p.offset - start);
            std::uint8_t* body = header + p.headerLen;
            const std::size_t n = std::min(bytes.size() - from, p.bodyLen);
            std::memcpy(body, bytes.data() + from, n);
            from += n;
            ogg_page page{header, static_cast<long>(p.headerLen), body,
                          static_cast<long>(p.bodyLen)};
            ogg_page_checksum_set(&page);
        }
        return out;
    };
    const Bytes out = render(fresh);

    // Pages laid out by our encoder keep their checksums and bodies inside single blocks
    // (oggcommentpages.h): written block by block, they are never torn. A file from before that
    // layout gets one write of all its pages.
    bool blockwise = true;
    for (const OggPageAt& p : pages)
        blockwise = blockwise && PageInOneBlock(p.offset, p.headerLen + p.bodyLen);
    const std::vector<std::uint64_t> changed = ChangedBlocks(old, out, start);
    if (changed.empty())
        return true;
    if (!blockwise) {
        f.Write(start, out);
        return true;
    }
    auto writeBlock = [&](const Bytes& image, std::uint64_t block) {
        const std::uint64_t from = std::max(start, block * kTagBlockBytes);
        const std::uint64_t to = std::min(end, (block + 1) * kTagBlockBytes);
        f.Write(from, Part(image, from - start, to - start));
    };
    // The field count leads the fields. When more than its block changes, the count is first
    // set to none (with the framing bit right after it, so the packet ends there whatever the
    // later blocks hold), then the other blocks are written, then the count's block as it is to
    // be: a reader that checks the comment packet (libvorbis does) never sees fields that run
    // into bytes of the other version. Each step goes to the disk before the next is written.
    const std::size_t countAt = 7 + 4 + vendor.size();
    const std::uint64_t countBlock = PacketByteAt(pages, countAt) / kTagBlockBytes;
    const bool countAlone = countAt + 5 <= fresh.size() &&
                            PacketByteAt(pages, countAt + 4) / kTagBlockBytes == countBlock;
    // A count that shares no block with the byte after it is never ours (it lies some 300 bytes
    // into the first block): such a file gets its blocks in order, every page still whole.
    if (changed.size() == 1 || !countAlone) {
        for (const std::uint64_t block : changed)
            writeBlock(out, block);
        return true;
    }
    Bytes cleared = fresh;
    SetLe(cleared.data() + countAt, 0, 4);
    cleared[countAt + 4] = 1;
    writeBlock(render(cleared), countBlock);
    f.Sync(start, end - start);
    for (const std::uint64_t block : changed) {
        if (block != countBlock)
            writeBlock(out, block);
    }
    f.Sync(start, end - start);
    writeBlock(out, countBlock);
    return true;
}

// --- WMA ---------------------------------------------------------------------------------------

bool Wma(TagFile& f, const TagValues& v) {
    const Bytes head = f.Read(0, 30);
    if (head.size() < 30 || std::memcmp(head.data(), kAsfHeaderGuid, 16) != 0)
        return false;
    const std::uint64_t headerSize = Le(head.data() + 16, 8);
    if (headerSize < 30 || headerSize > f.Size() || headerSize > (16u << 20))
        return false;
    const Bytes h = f.Read(0, static_cast<std::size_t>(headerSize));
    // The header's last three objects must be ours: Content Description, Extended Content
    // Description, Padding.
    struct Obj {
        std::size_t at, size;
        const std::uint8_t* guid;
    };
    std::vector<Obj> objs;
    const std::uint64_t count = Le(h.data() + 24, 4);
    std::size_t at = 30;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (h.size() - at < 24)
            return false;
        const std::uint64_t size = Le(h.data() + at + 16, 8);
        if (size < 24 || size > h.size() - at)
            return false;
        objs.push_back({at, static_cast<std::size_t>(size), h.data() + at});
        at += static_cast<std::size_t>(size);
    }
    if (at != h.size())
        return false;
    // Our room: Content Description, Extended Content Description and Padding, one after the
    // other.
    std::size_t first = objs.size();
    for (std::size_t i = 0; i + 2 < objs.size() && first == objs.size(); ++i)
        if (std::memcmp(objs[i].guid, kAsfContentDescriptionGuid, 16) == 0 &&
            std::memcmp(objs[i + 1].guid, kAsfExtendedContentGuid, 16) == 0 &&
            std::memcmp(objs[i + 2].guid, kAsfPaddingGuid, 16) == 0)
            first = i;
    if (first == objs.size())
        return false;
    const Obj& cd = objs[first];
    const Obj& ecd = objs[first + 1];
    const Obj& pad = objs[first + 2];
    // Nothing of someone else's may be lost: no copyright or rating, no other attributes.
    if (cd.size < 34 || Le(h.data() + cd.at + 28, 2) != 0 || Le(h.data() + cd.at + 32, 2) != 0)
        return false;
    if (ecd.size < 26)
        return false;
    std::size_t p = ecd.at + 26;
    const std::size_t end = ecd.at + ecd.size;
    for (std::uint64_t i = 0, n = Le(h.data() + ecd.at + 24, 2); i < n; ++i) {
        if (end - p < 2)
            return false;
        const std::size_t nameLen = Le(h.data() + p, 2);
        if (end - p < 2 + nameLen + 4)
            return false;
        QString name;
        for (std::size_t k = 0; k + 1 < nameLen; k += 2)
            name += QChar(static_cast<char16_t>(Le(h.data() + p + 2 + k, 2)));
        while (name.endsWith(QChar(0)))
            name.chop(1);
        if (name != "WM/AlbumTitle" && name != "WM/Genre")
            return false;
        const std::size_t valueLen = Le(h.data() + p + 2 + nameLen + 2, 2);
        p += 2 + nameLen + 4 + valueLen;
        if (p > end)
            return false;
    }
    const std::size_t total = pad.at + pad.size - cd.at;
    const Bytes objects = RenderAsfTagObjects(v, total);
    if (objects.empty())
        return false;
    // The objects' sizes change with the values, and a write cut off between two blocks would
    // leave sizes that run into the other version's bytes. So when more than one block changes,
    // the objects are written behind the room as it is with no values (an empty Content
    // Description and Extended Content Description, then Padding over the rest).
    const Bytes old(h.begin() + static_cast<std::ptrdiff_t>(cd.at),
                    h.begin() + static_cast<std::ptrdiff_t>(cd.at + total));
    const std::vector<std::uint64_t> changed = ChangedBlocks(old, objects, cd.at);
    if (changed.empty())
        return true;
    const Bytes none = RenderAsfTagObjects(TagValues{}, total);
    const std::size_t noneCd = Le(none.data() + 16, 8);
    const std::size_t lead = noneCd + Le(none.data() + noneCd + 16, 8) + 24;
    // Our recordings' room starts a few hundred bytes into the header, so those bytes never
    // cross a block there; a file from elsewhere where they do gets one write.
    if (changed.size() == 1 || lead > total ||
        cd.at / kTagBlockBytes != (cd.at + lead - 1) / kTagBlockBytes) {
        f.Write(cd.at, objects);
        return true;
    }
    WriteStubFirst(f, cd.at, objects, Part(none, 0, lead));
    return true;
}

// --- WAV as RF64 -------------------------------------------------------------------------------

bool Rf64(TagFile& f, const TagValues& v) {
    const Bytes head = f.Read(0, 48);
    if (head.size() < 48 || std::memcmp(head.data(), "RF64", 4) != 0 ||
        std::memcmp(head.data() + 8, "WAVE", 4) != 0 ||
        std::memcmp(head.data() + 12, "ds64", 4) != 0)
        return false;
    const std::uint64_t dataSize = Le(head.data() + 28, 8);
    // Walk the chunks to the end of the data chunk; tag chunks behind it are replaced, any other
    // chunk there is kept.
    std::uint64_t at = 12;
    std::uint64_t tail = 0;
    for (int i = 0; i < 64 && tail == 0; ++i) {
        const Bytes c = f.Read(at, 8);
        if (c.size() < 8)
            return false;
        std::uint64_t size = Le(c.data() + 4, 4);
        if (std::memcmp(c.data(), "data", 4) == 0) {
            if (size == 0xFFFFFFFFu)
                size = dataSize;
            tail = at + 8 + size + (size & 1);
        }
        at += 8 + size + (size & 1);
    }
    if (tail == 0 || tail > f.Size() + 1)
        return false;
    std::uint64_t keepEnd = tail;
    at = tail;
    for (int i = 0; i < 64 && at + 8 <= f.Size(); ++i) {
        const Bytes c = f.Read(at, 8);
        const std::uint64_t size = Le(c.data() + 4, 4);
        const bool tagChunk = std::memcmp(c.data(), "LIST", 4) == 0 ||
                              std::memcmp(c.data(), "id3 ", 4) == 0 ||
                              std::memcmp(c.data(), "ID3 ", 4) == 0;
        at += 8 + size + (size & 1);
        if (!tagChunk)
            keepEnd = std::min(at, f.Size());
    }
    Bytes chunks = RenderRiffInfo(v);
    Bytes id3 = RenderId3v2(v, 0);
    const std::uint8_t id3Head[8] = {'i', 'd', '3', ' ', 0, 0, 0, 0};
    chunks.insert(chunks.end(), id3Head, id3Head + 8);
    SetLe(chunks.data() + chunks.size() - 4, id3.size(), 4);
    chunks.insert(chunks.end(), id3.begin(), id3.end());
    if (chunks.size() & 1)
        chunks.push_back(0);
    // The chunks first, then the sizes that take them in: the data chunk is never touched.
    f.Write(keepEnd, chunks);
    const std::uint64_t end = keepEnd + chunks.size();
    if (f.Size() > end)
        f.Truncate(end);
    Bytes riff(8);
    SetLe(riff.data(), end - 8, 8);
    f.Write(20, riff);
    return true;
}

} // namespace

bool WriteTagsInPlace(const std::string& path, const TagValues& values, const TagWriteHook& hook) {
    const QString lower = QString::fromStdString(path).toLower();
    bool (*writer)(TagFile&, const TagValues&) = nullptr;
    if (lower.endsWith(".mp3"))
        writer = Mp3;
    else if (lower.endsWith(".ogg"))
        writer = Ogg;
    else if (lower.endsWith(".wma"))
        writer = Wma;
    else if (lower.endsWith(".wav"))
        writer = Rf64;
    if (writer == nullptr)
        return false;
    TagFile f(path, hook);
    if (!writer(f, values))
        return false;
    f.Close();
    return true;
}
