#pragma once

// What each WMA preset number (1..47, the settings list position + 1) produces.
struct WmaPreset {
    int sampleRate = 44100;
    int channels = 2;
    int bitrate = 128;     // kbit/s actually encoded
    int listedBitrate = 0; // kbit/s its text names (0 for the quality presets)
    bool lossless = false; // no encoder here
};

// Presets outside 1..47 yield nothing: the caller reports them.
bool LookUpWmaPreset(int preset, WmaPreset& out);

// FFmpeg's wmav2 encoder refuses lower bit rates.
constexpr int kWmaMinBitrate = 24;
