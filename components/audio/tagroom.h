#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Room for the tags, reserved when a recording is created so the tags written at its stop go
// into the file's header in place and never move a byte of audio.
//
// The room holds the longest values the settings store hands back: five values of at most
// kMaxTagChars characters, each up to four bytes in UTF-8. Every renderer here produces a block of
// exactly the size it is asked for (values, then padding), or nothing when the values do not fit;
// a caller then falls back to rewriting the file.

// The five values in UTF-8, as the tag component holds them.
struct TagValues {
    std::string album, artist, comment, title, genre;
};

constexpr std::size_t kMaxTagChars = 2047;
constexpr std::size_t kMaxTagValueBytes = kMaxTagChars * 4;

// --- ID3v2.4 (MP3 at the front, the WAV "id3 " chunk) ---------------------------------------
// The size of the tag reserved at the front of an MP3 recording, header included: the room for
// the values and the recording's frame index (mp3frameindex.h).
std::size_t Id3RoomBytes();
// An ID3v2.4 tag of exactly `total` bytes (header included): `first` (a whole frame, kept as it
// is: the frame index), then text frames TALB, TPE1, COMM, TIT2, TCON in UTF-8 for the values
// that are not empty, then zero padding. Empty when they do not fit. `total` 0: no padding.
std::vector<std::uint8_t> RenderId3v2(const TagValues& v, std::size_t total,
                                      const std::vector<std::uint8_t>& first = {});
// The size of the ID3v2 tag at the start of `head` (header included, footer counted), 0 if none.
std::size_t Id3TagSize(const std::uint8_t* head, std::size_t size);
// Whether the ID3v2 tag in `tag` holds only frames RenderId3v2 writes (so rewriting it loses
// nothing) and is well formed. The frames end at the first frame ID starting with a zero byte.
bool Id3HoldsOnlyOurFrames(const std::vector<std::uint8_t>& tag);
// The frame index at the start of such a tag, whole (frame header included); empty if none.
std::vector<std::uint8_t> Id3IndexFrame(const std::vector<std::uint8_t>& tag);

// --- Vorbis comment (OGG) -------------------------------------------------------------------
// The size of the comment packet reserved in an OGG recording.
std::size_t VorbisCommentRoomBytes();
// A Vorbis comment packet (packet type 3) of exactly `total` bytes with `vendor` and the fields
// ALBUM, ARTIST, COMMENT, TITLE, GENRE for the values that are not empty; the bytes after the
// framing bit are zero (readers stop at the framing bit). Empty when they do not fit.
std::vector<std::uint8_t> RenderVorbisComment(const std::string& vendor, const TagValues& v,
                                              std::size_t total);
// Parses a comment packet: its vendor, and whether every field is one RenderVorbisComment
// writes. False when the packet is malformed.
bool ParseVorbisComment(const std::vector<std::uint8_t>& packet, std::string& vendor,
                        bool& onlyOurFields);

// --- RIFF LIST INFO (WAV) -------------------------------------------------------------------
// Bytes a plain RIFF WAV keeps free below its 32-bit size limit for the tag chunks TagLib appends
// after the data (the longest values in LIST INFO and "id3 ", with TagLib's padding, take about
// 85 KB). A recording turns RF64 before its data reaches them; a larger RIFF file is not tagged,
// since TagLib keeps RIFF sizes and offsets in 32 bits.
constexpr std::uint64_t kRiffTagRoomBytes = 1 << 20;
// A "LIST" chunk of type "INFO" (IPRD album, IART artist, ICMT comment, INAM title, IGNR genre)
// with its 8-byte chunk header, padded to an even size.
std::vector<std::uint8_t> RenderRiffInfo(const TagValues& v);

// --- ASF (WMA) ------------------------------------------------------------------------------
// The bytes reserved in a WMA recording's header for the Content Description, Extended
// Content Description and Padding objects.
std::size_t AsfRoomBytes();
// Those three objects filling exactly `total` bytes: title, author (artist) and description
// (comment) in the Content Description, WM/AlbumTitle and WM/Genre in the Extended Content
// Description, then a Padding object with the rest. Empty when they do not fit.
std::vector<std::uint8_t> RenderAsfTagObjects(const TagValues& v, std::size_t total);
// ASF object GUIDs, as stored in files.
extern const std::uint8_t kAsfHeaderGuid[16];
extern const std::uint8_t kAsfDataGuid[16];
extern const std::uint8_t kAsfFilePropertiesGuid[16];
extern const std::uint8_t kAsfContentDescriptionGuid[16];
extern const std::uint8_t kAsfExtendedContentGuid[16];
extern const std::uint8_t kAsfPaddingGuid[16];
