#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The pages that carry a recording's Vorbis comment packet, laid out so that rewriting the tags
// in place never leaves a moment at which the file does not decode.
//
// The kernel copies a write into the page cache one aligned memory page of the file (4 KiB, or a
// larger aligned folio) at a time, and a process killed meanwhile stops between two of them. So
// every page laid out here keeps its checksum, segment table and body inside one aligned 4 KiB
// block of the file. Only its first 22 bytes (capture pattern, version, flags, granule position,
// serial and sequence number, which a rewrite of the same packet never changes) may lie at the
// end of the block before. A rewrite cut off at any block boundary leaves every page whole: each
// one either as it was or as it is to be, its checksum right.

constexpr std::uint64_t kTagBlockBytes = 4096;

// The lacing values on each page for a packet of `packetLen` bytes whose first page starts at
// file offset `start`: all pages but the last are full 255-byte segments, the last ends the
// packet. Empty when no such layout exists.
std::vector<int> CommentPageSegments(std::uint64_t start, std::size_t packetLen);

// The pages for `packet` with `segments` lacing values each (as CommentPageSegments gives them),
// of logical stream `serial` with sequence numbers from `firstSequence`: granule position -1
// where no packet ends and 0 on the last page, every page after the first marked as continuing
// the packet, checksums set.
std::vector<std::uint8_t> RenderCommentPages(const std::vector<std::uint8_t>& packet,
                                             const std::vector<int>& segments, std::uint32_t serial,
                                             std::uint32_t firstSequence);

// Whether a page of `length` bytes at file offset `offset` keeps everything from its checksum on
// inside one block.
bool PageInOneBlock(std::uint64_t offset, std::size_t length);
