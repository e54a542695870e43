#pragma once

#include "pcmformat.h"

#include <string>

// A RAW file's format: what SetRawFormat was given. Codec codes: 1 PCM, 2 A-law, 3 mu-law,
// 4 GSM 6.10, 5 IMA ADPCM, 6 MS ADPCM.
struct RawFormat {
    int codec = 1;
    int sampleRate = 44100;
    int channels = 2;
    int bits = 16;
};

// How a RAW format is laid out on disk, shared by the writer and the reader so both agree on
// every byte. The stream is a sequence of packets of `packetBytes` bytes, each decoding to
// `packetFrames` frames (PCM and G.711: one frame per packet).
struct RawLayout {
    int codecId = 0;        // FFmpeg's AVCodecID
    int sampleRate = 44100; // GSM 6.10 exists only at 8000 Hz mono: that overrides the choice
    int channels = 2;
    int storedBits = 16; // PCM: bits per stored sample (2..5 in 8-bit containers)
    int packetBytes = 4;
    int packetFrames = 1;
    PcmFormat input; // the PCM the writer takes
};

// Fills `out` for `format`; on an unknown codec or an impossible combination returns false and
// sets `why` to a sentence naming the problem.
bool DescribeRaw(const RawFormat& format, RawLayout& out, std::string& why);

// The ADPCM block size: small enough that a killed recording loses less than one 300 ms block.
constexpr int kAdpcmBlockBytes = 512;
