#include "tagroom.h"

#include "mp3frameindex.h"

#include <QString>
#include <cstring>

const std::uint8_t kAsfHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const std::uint8_t kAsfDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const std::uint8_t kAsfFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const std::uint8_t kAsfContentDescriptionGuid[16] = {
    0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const std::uint8_t kAsfExtendedContentGuid[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                  0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const std::uint8_t kAsfPaddingGuid[16] = {0x74, 0xD4, 0x06, 0x18, 0xDF, 0xCA, 0x09, 0x45,
                                          0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8};

namespace {

using Bytes = std::vector<std::uint8_t>;

std::size_t RoundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

void PutLe(Bytes& b, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}
void PutSyncSafe(Bytes& b, std::size_t v) {
    for (int i = 3; i >= 0; --i)
        b.push_back(static_cast<std::uint8_t>((v >> (7 * i)) & 0x7f));
}
std::size_t SyncSafe(const std::uint8_t* p) {
    return static_cast<std::size_t>(p[0] & 0x7f) << 21 |
           static_cast<std::size_t>(p[1] & 0x7f) << 14 |
           static_cast<std::size_t>(p[2] & 0x7f) << 7 | (p[3] & 0x7f);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Fills `b` with zeros up to `total`; false when it is already longer.
bool PadTo(Bytes& b, std::size_t total) {
    if (b.size() > total)
        return false;
    b.resize(total, 0);
    return true;
}

// UTF-16LE with a terminating zero, as ASF stores text.
Bytes Utf16z(const std::string& utf8) {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    Bytes b;
    for (const QChar c : s)
        PutLe(b, c.unicode(), 2);
    PutLe(b, 0, 2);
    return b;
}

const char* const kId3Frames[] = {"TALB", "TPE1", "COMM", "TIT2", "TCON"};
const char* const kVorbisFields[] = {"ALBUM", "ARTIST", "COMMENT", "TITLE", "GENRE"};

const std::string* Values(const TagValues& v, int i) {
    const std::string* all[] = {&v.album, &v.artist, &v.comment, &v.title, &v.genre};
    return all[i];
}

} // namespace

// ---------------------------------------------------------------------------------------------

std::size_t Id3RoomBytes() {
    // Per frame: header 10, encoding 1, COMM's language 3 and empty description 1.
    return RoundUp(10 + Mp3IndexFrameBytes() + 5 * (10 + 1 + 4 + kMaxTagValueBytes), 1024);
}

std::vector<std::uint8_t> RenderId3v2(const TagValues& v, std::size_t total, const Bytes& first) {
    Bytes frames = first;
    for (int i = 0; i < 5; ++i) {
        const std::string& text = *Values(v, i);
        if (text.empty())
            continue;
        Bytes body;
        body.push_back(3); // UTF-8
        if (std::strcmp(kId3Frames[i], "COMM") == 0) {
            PutText(body, "eng");
            body.push_back(0); // empty description
        }
        PutText(body, text);
        PutText(frames, kId3Frames[i]);
        PutSyncSafe(frames, body.size());
        PutLe(frames, 0, 2);
        frames.insert(frames.end(), body.begin(), body.end());
    }
    if (total == 0)
        total = 10 + frames.size();
    if (total < 10 || total - 10 >= (1u << 28))
        return {};
    Bytes tag = {'I', 'D', '3', 4, 0, 0};
    PutSyncSafe(tag, total - 10);
    tag.insert(tag.end(), frames.begin(), frames.end());
    if (!PadTo(tag, total))
        return {};
    return tag;
}

std::size_t Id3TagSize(const std::uint8_t* head, std::size_t size) {
    if (size < 10 || std::memcmp(head, "ID3", 3) != 0 || head[3] == 0xff || head[4] == 0xff ||
        (head[6] | head[7] | head[8] | head[9]) & 0x80)
        return 0;
    const bool footer = head[3] == 4 && (head[5] & 0x10);
    return 10 + SyncSafe(head + 6) + (footer ? 10 : 0);
}

bool Id3HoldsOnlyOurFrames(const Bytes& tag) {
    // Only version 2.4 without flags (no unsynchronisation, extended header or footer): what
    // RenderId3v2 writes, and all a rewrite may replace.
    if (Id3TagSize(tag.data(), tag.size()) != tag.size() || tag[3] != 4 || tag[5] != 0)
        return false;
    std::size_t at = 10;
    while (at + 10 <= tag.size() && tag[at] != 0) {
        bool ours = at == 10 && std::memcmp(tag.data() + at, kMp3IndexFrameId, 4) == 0;
        for (const char* id : kId3Frames)
            ours = ours || std::memcmp(tag.data() + at, id, 4) == 0;
        const std::size_t size = SyncSafe(tag.data() + at + 4);
        if (!ours || size > tag.size() - at - 10)
            return false;
        at += 10 + size;
    }
    // Readers stop at a frame ID that starts with a zero byte: what follows is padding to all of
    // them, whatever it holds (a rewrite cut off part-way leaves bytes of older frames there).
    return true;
}

Bytes Id3IndexFrame(const Bytes& tag) {
    if (tag.size() < 20 || std::memcmp(tag.data() + 10, kMp3IndexFrameId, 4) != 0)
        return {};
    const std::size_t size = 10 + SyncSafe(tag.data() + 14);
    if (size > tag.size() - 10)
        return {};
    return Bytes(tag.begin() + 10, tag.begin() + 10 + static_cast<std::ptrdiff_t>(size));
}

// ---------------------------------------------------------------------------------------------

std::size_t VorbisCommentRoomBytes() {
    // Packet type and "vorbis" 7, a vendor string of up to 256 bytes, the count, five fields of
    // length, name and "=", and the framing bit.
    return RoundUp(7 + 4 + 256 + 4 + 5 * (4 + 8 + kMaxTagValueBytes) + 1, 1024);
}

std::vector<std::uint8_t> RenderVorbisComment(const std::string& vendor, const TagValues& v,
                                              std::size_t total) {
    Bytes p = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    PutLe(p, vendor.size(), 4);
    PutText(p, vendor);
    Bytes fields;
    std::uint32_t count = 0;
    for (int i = 0; i < 5; ++i) {
        const std::string& text = *Values(v, i);
        if (text.empty())
            continue;
        const std::string field = std::string(kVorbisFields[i]) + "=" + text;
        PutLe(fields, field.size(), 4);
        PutText(fields, field);
        ++count;
    }
    PutLe(p, count, 4);
    p.insert(p.end(), fields.begin(), fields.end());
    p.push_back(1); // framing bit
    if (!PadTo(p, total))
        return {};
    return p;
}

bool ParseVorbisComment(const Bytes& p, std::string& vendor, bool& onlyOurFields) {
    if (p.size() < 7 + 4 + 4 + 1 || std::memcmp(p.data(), "\x03vorbis", 7) != 0)
        return false;
    std::size_t at = 7;
    auto take32 = [&](std::uint32_t& out) {
        if (p.size() - at < 4)
            return false;
        out = Le32(p.data() + at);
        at += 4;
        return true;
    };
    std::uint32_t len = 0, count = 0;
    if (!take32(len) || len > p.size() - at)
        return false;
    vendor.assign(reinterpret_cast<const char*>(p.data()) + at, len);
    at += len;
    if (!take32(count))
        return false;
    onlyOurFields = true;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!take32(len) || len > p.size() - at)
            return false;
        const std::string field(reinterpret_cast<const char*>(p.data()) + at, len);
        at += len;
        const std::string name =
            QString::fromStdString(field.substr(0, field.find('='))).toUpper().toStdString();
        bool ours = false;
        for (const char* f : kVorbisFields)
            ours = ours || name == f;
        onlyOurFields = onlyOurFields && ours && field.find('=') != std::string::npos;
    }
    return at < p.size() && (p[at] & 1) == 1;
}

// ---------------------------------------------------------------------------------------------

std::vector<std::uint8_t> RenderRiffInfo(const TagValues& v) {
    static const char* const ids[] = {"IPRD", "IART", "ICMT", "INAM", "IGNR"};
    Bytes body = {'I', 'N', 'F', 'O'};
    for (int i = 0; i < 5; ++i) {
        const std::string& text = *Values(v, i);
        if (text.empty())
            continue;
        PutText(body, ids[i]);
        PutLe(body, text.size() + 1, 4);
        PutText(body, text);
        body.push_back(0);
        if (body.size() & 1)
            body.push_back(0);
    }
    Bytes chunk = {'L', 'I', 'S', 'T'};
    PutLe(chunk, body.size(), 4);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

// ---------------------------------------------------------------------------------------------

std::size_t AsfRoomBytes() {
    // Content Description: 24 + 10 + three strings; Extended Content Description: 24 + 2 + two
    // descriptors (name up to 15 characters, type, length, value); Padding object header 24.
    const std::size_t value = kMaxTagValueBytes + 2;
    return RoundUp(24 + 10 + 3 * value + 24 + 2 + 2 * (2 + 32 + 2 + 2 + value) + 24, 1024);
}

std::vector<std::uint8_t> RenderAsfTagObjects(const TagValues& v, std::size_t total) {
    auto object = [](const std::uint8_t* guid, const Bytes& body) {
        Bytes o(guid, guid + 16);
        PutLe(o, 24 + body.size(), 8);
        o.insert(o.end(), body.begin(), body.end());
        return o;
    };
    auto text = [](const std::string& s) { return s.empty() ? Bytes() : Utf16z(s); };
    // Content Description: title, author, copyright, description, rating.
    const Bytes cd[5] = {text(v.title), text(v.artist), {}, text(v.comment), {}};
    Bytes body;
    for (const Bytes& s : cd) {
        if (s.size() > 0xffff)
            return {};
        PutLe(body, s.size(), 2);
    }
    for (const Bytes& s : cd)
        body.insert(body.end(), s.begin(), s.end());
    Bytes out = object(kAsfContentDescriptionGuid, body);

    body.clear();
    const std::pair<const char*, const std::string*> ext[] = {{"WM/AlbumTitle", &v.album},
                                                              {"WM/Genre", &v.genre}};
    std::uint16_t count = 0;
    Bytes descriptors;
    for (const auto& [name, value] : ext) {
        if (value->empty())
            continue;
        const Bytes n = Utf16z(name), val = Utf16z(*value);
        if (val.size() > 0xffff)
            return {};
        PutLe(descriptors, n.size(), 2);
        descriptors.insert(descriptors.end(), n.begin(), n.end());
        PutLe(descriptors, 0, 2); // Unicode string
        PutLe(descriptors, val.size(), 2);
        descriptors.insert(descriptors.end(), val.begin(), val.end());
        ++count;
    }
    PutLe(body, count, 2);
    body.insert(body.end(), descriptors.begin(), descriptors.end());
    const Bytes ecd = object(kAsfExtendedContentGuid, body);
    out.insert(out.end(), ecd.begin(), ecd.end());
    if (out.size() + 24 > total)
        return {};
    const Bytes padding = object(kAsfPaddingGuid, Bytes(total - out.size() - 24, 0));
    out.insert(out.end(), padding.begin(), padding.end());
    return out;
}
