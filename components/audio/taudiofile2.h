#pragma once

#include "block.h"
#include "pcmformat.h"
#include "taudiofile2lameenc.h"

#include <QString>
#include <cstdint>
#include <memory>

class AudioEncoder;
class AudioDecoder;

// The file component: writes recordings in MP3, WAV, WMA, OGG or RAW and reads all five back as
// PCM. One instance either writes or reads at a time. Every failure raises ComponentError with a
// message that names the file and the cause. Not thread-safe: use from one thread.
//
// Writing: choose the format with one of the Set...Format calls (or SetMp3Encoder), then
// CreateForWrite, then WriteBlock any number of times, then CloseFile. GetFormatHandle and
// GetFormatParam describe the PCM WriteBlock takes (see PcmFormat). After every block the file on
// disk is playable: a program killed mid-recording leaves a file that decodes up to the last block.
//
// Reading: OpenForRead, then the Get... queries, Seek and ReadBlock; CloseFile at the end. The
// handle and parameter then describe the PCM ReadBlock gives.
class TAudioFile2 {
public:
    TAudioFile2();
    ~TAudioFile2();
    TAudioFile2(const TAudioFile2&) = delete;
    TAudioFile2& operator=(const TAudioFile2&) = delete;

    // Accepted for the calling order of start-up; it switches nothing.
    void SetStartupFlag(bool flag);

    bool IsOpen() const;
    // Finishes and closes the current file (a written file is complete afterwards). Harmless when
    // nothing is open.
    void CloseFile();

    // --- format choice for the next CreateForWrite -------------------------------------------
    // WAV at the given rate, channels and bits (2..5, 8, 16, 32).
    void SetPcmFormat(int sampleRate, int channels, int bitsPerSample);
    // WMA preset 1..47 (the settings dialog's list + 1).
    void SetWmaFormat(int preset);
    // RAW: codec 1 PCM, 2 A-law, 3 mu-law, 4 GSM 6.10, 5 IMA ADPCM, 6 MS ADPCM. Also the format a
    // ".raw" file is read with.
    void SetRawFormat(int codec, int sampleRate, int channels, int bitsPerSample);
    // OGG Vorbis. quality -1: managed bit rates (nominal, min, max in kbit/s); otherwise VBR
    // quality / 1000 (0..1000).
    void SetOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate,
                      std::int16_t quality);
    // libvorbisenc's own answer for that managed set-up.
    bool IsOggFormatSupported(int sampleRate, int channels, int bitrate, int minBitrate,
                              int maxBitrate) const;
    // MPEG-1 32000/44100/48000 Hz with 32..320 kbit/s, MPEG-2 16000/22050/24000 with 8..160,
    // MPEG-2.5 8000/11025/12000 with 8..64; channel mode 1 or 2. Anything else is refused.
    bool IsMp3FormatSupported(int sampleRate, int bitrate, int channelMode) const;
    void SetMp3Encoder(const Mp3EncoderSettings& settings);

    // --- writing -------------------------------------------------------------------------------
    // Creates (truncates) the file in the format chosen last. The second argument is ignored.
    void CreateForWrite(const QString& path, int flags);
    // Appends PCM in the format of GetFormatHandle/GetFormatParam. A trailing partial frame is
    // kept for the next block.
    void WriteBlock(const Block& block);

    // --- the PCM that WriteBlock takes or ReadBlock gives -------------------------------------
    std::int32_t GetFormatHandle() const;
    std::int32_t GetFormatParam() const;

    // --- reading -------------------------------------------------------------------------------
    // Opens an existing file of any of the five formats. The trailing arguments are ignored.
    void OpenForRead(const QString& path, int a, int b);
    std::int64_t GetDurationMs() const;
    std::int64_t GetLengthSamples() const; // sample frames
    int GetSampleRate() const;             // Hz
    int GetBitRate() const;                // bits per second
    int GetChannels() const;
    // Moves to the exact frame `frames` (clamped to the length). The mode argument is ignored.
    int Seek(std::int64_t frames, int mode);
    // Up to `frames` sample frames of PCM; an empty block at the end of the file.
    Block ReadBlock(int frames);

    // Test hook: the size at which a WAV recording switches to RF64 (default 4 GiB less the header
    // and the room for the tags).
    void SetRf64ThresholdForTesting(std::uint64_t bytes);
    // Test hook: the entries of an MP3 recording's frame index (default kMp3IndexEntries), so a
    // short recording is indexed as sparsely as a long one.
    void SetMp3IndexEntriesForTesting(std::size_t entries);

private:
    struct WriteChoice;
    std::unique_ptr<WriteChoice> choice_;
    std::unique_ptr<AudioEncoder> encoder_;
    std::unique_ptr<AudioDecoder> decoder_;
    std::uint64_t rf64Threshold_;
    std::size_t mp3IndexEntries_ = 0; // 0: the encoder's own
};
