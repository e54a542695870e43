#pragma once

// The values an MP3 recording is encoded with, as the MP3 encoder settings object holds them.
struct Mp3EncoderSettings {
    int sampleRate = 44100; // Hz
    int bitrate = 128;      // kbit/s, constant bit rate
    int channelMode = 2;    // 1 mono, 2 stereo
    int quality = 9;        // LAME quality 0 (best) .. 9 (fastest)
    bool vbr = false;       // VBR values were sent since the last SetBitrate
    int vbrBitrate = 128;   // kbit/s, used as LAME's maximum VBR bit rate
    int vbrQuality = 5;     // LAME VBR quality 0..9
};

// The MP3 encoder settings object: one for the whole run; values sent to it stay until they are
// sent again. SetBitrate starts a new configuration and clears the VBR request, so a recording
// made after VBR was switched off is constant bit rate again; SetVbrBitrate or SetVbrQuality
// asks for VBR.
class TAudioFile2LameEnc {
public:
    void SetSampleRate(int hz) { s_.sampleRate = hz; }
    void SetBitrate(int kbps) {
        s_.bitrate = kbps;
        s_.vbr = false;
    }
    void SetChannelMode(int mode) { s_.channelMode = mode; }
    void SetQuality(int quality) { s_.quality = quality; }
    void SetVbrBitrate(int kbps) {
        s_.vbrBitrate = kbps;
        s_.vbr = true;
    }
    void SetVbrQuality(int quality) {
        s_.vbrQuality = quality;
        s_.vbr = true;
    }

    int GetSampleRate() const { return s_.sampleRate; }
    int GetBitrate() const { return s_.bitrate; }
    int GetChannelMode() const { return s_.channelMode; }
    int GetQuality() const { return s_.quality; }
    int GetVbrBitrate() const { return s_.vbrBitrate; }
    int GetVbrQuality() const { return s_.vbrQuality; }
    bool GetVbrEnabled() const { return s_.vbr; }

    // What TAudioFile2::SetMp3Encoder takes.
    const Mp3EncoderSettings& DefaultInterface() const { return s_; }

private:
    Mp3EncoderSettings s_;
};
