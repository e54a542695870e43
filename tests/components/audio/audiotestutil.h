#pragma once

#include "block.h"
#include "pcmformat.h"
#include "taudiofile2.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// One way of configuring the writer, with what the file should come out as.
struct FormatCase {
    std::string name;
    std::string ext; // ".mp3", ".wav", ...
    std::function<void(TAudioFile2&)> configure;
    int rate;     // of the resulting file
    int channels; // of the resulting file
    std::string
        ffmpegInput; // input options ffmpeg needs for a headerless file; "-" when it cannot read it
    double minTone = 0.5; // share of the signal's energy expected at the test tone
    bool lossless = false;
};

std::vector<FormatCase> AllFormatCases();
// Test names instead of byte dumps in failure reports.
inline void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

// A sine in format `f`, `frames` frames from `start`, at half of full scale.
Block Sine(const PcmFormat& f, std::int64_t start, std::int64_t frames, double hz);
double ToneHz(int rate);

// Writes `seconds` of the test tone through WriteBlock in blocks of `blockMs` (plus `extraBytes`
// so blocks split frames). Returns the frames written.
std::int64_t WriteTone(TAudioFile2& file, const std::string& path, double seconds,
                       int blockMs = 300, int extraBytes = 0, int maxBlocks = -1);

struct Decoded {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved
    std::int64_t Frames() const {
        return channels ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
};

// Everything our reader gives from the current position.
Decoded ReadAll(TAudioFile2& file);
// The ffmpeg command-line tool's decode (rate and channels from ffprobe).
Decoded DecodeWithFfmpeg(const std::string& path, const std::string& inputOptions = "");
// Share of the first channel's energy that lies at `hz` (Goertzel over the middle of the signal).
double ToneShare(const Decoded& d, double hz);

std::string TempDir();
std::string Slurp(const std::string& path);
