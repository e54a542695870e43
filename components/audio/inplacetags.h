#pragma once

#include "tagroom.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writes the tags into the room a recording reserved for them, touching only the bytes of the
// tag itself, so the audio never moves and a program killed meanwhile leaves a file that decodes
// in full:
// - MP3: an ID3v2.4 tag at the front holding only the frames we write;
// - OGG: a Vorbis comment packet holding only the fields we write, with padding after it;
// - WMA: the Content Description, Extended Content Description and Padding objects that end
//   the ASF header;
// - WAV as RF64 (past 4 GiB, which TagLib cannot open): LIST INFO and "id3 " chunks after the
//   data, replacing earlier ones of those kinds.
// Returns false, having changed nothing, when the file has no such room (a file from elsewhere,
// values too long, a plain RIFF WAV): the caller then tags the file another way. Raises
// ComponentError "Cannot tag '<path>': <cause>" when the file cannot be read or written.
//
// A kill can stop a write only between two aligned 4 KiB blocks of the file, and every state that
// leaves decodes: an OGG written by our encoder is rewritten block by block with its field count
// cleared first (oggcommentpages.h); when more than one block changes, an MP3's frames are first
// ended right after the frame index and a WMA's room is first emptied, then the rest is written,
// then those few bytes. A file left half-way is still taken as having our room.
//
// `hook`, when set, receives each write (offset and bytes, in order) instead of the file: tests
// use it to build every state a write cut off at a block boundary can leave.
using TagWriteHook =
    std::function<void(std::uint64_t offset, const std::vector<std::uint8_t>& bytes)>;
bool WriteTagsInPlace(const std::string& path, const TagValues& values,
                      const TagWriteHook& hook = {});
