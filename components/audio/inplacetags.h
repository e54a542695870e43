#pragma once

#include "tagroom.h"

#include <string>

// Writes the tags into the room a recording reserved for them, touching only the bytes of the
// tag itself (in one write where the format keeps it at the front), so the audio never moves and
// a program killed meanwhile leaves a file that decodes in full:
// - MP3: an ID3v2.4 tag at the front holding only the frames we write;
// - OGG: a Vorbis comment packet holding only the fields we write, with padding after it;
// - WMA: the Content Description, Extended Content Description and Padding objects that end
//   the ASF header;
// - WAV as RF64 (past 4 GiB, which TagLib cannot open): LIST INFO and "id3 " chunks after the
//   data, replacing earlier ones of those kinds.
// Returns false, having changed nothing, when the file has no such room (a file from elsewhere,
// values too long, a plain RIFF WAV): the caller then tags the file another way. Raises
// ComponentError "Cannot tag '<path>': <cause>" when the file cannot be read or written.
bool WriteTagsInPlace(const std::string& path, const TagValues& values);
