// Round trips through the writer and two readers (ours and the ffmpeg tool), exact seeking, the
// RF64 switch and the format checks.
#include "audiotestutil.h"
#include "formatcatalogue.h"
#include "mp3frameindex.h"
#include "tagroom.h"
#include "taudiofile2.h"
#include "taudioinformation2.h"
#include "wmapresets.h"

#include <QDir>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace {

class RoundTrip : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RoundTrip, WritesReadsAndSeeks) {
    const FormatCase& fc = GetParam();
    const std::string path = TempDir() + "/" + fc.name + fc.ext;
    TAudioFile2 writer;
    fc.configure(writer);
    // Blocks of 300 ms plus one byte, so frames are split across blocks.
    const std::int64_t written = WriteTone(writer, path, 2.0, 300, 1);
    const auto in = PcmFormat::FromHandle(writer.GetFormatHandle(), writer.GetFormatParam());
    ASSERT_TRUE(in.has_value());
    EXPECT_EQ(in->rate, fc.rate);
    EXPECT_EQ(in->channels, fc.channels);
    writer.CloseFile();
    EXPECT_FALSE(writer.IsOpen());
    const std::int64_t expected = 2 * fc.rate;
    const std::int64_t block = fc.rate * 3 / 10;
    EXPECT_NEAR(written, expected, 1);

    TAudioFile2 reader;
    fc.configure(reader); // RAW files are read with the last SetRawFormat
    reader.OpenForRead(QString::fromStdString(path), 0, 1);
    EXPECT_EQ(reader.GetSampleRate(), fc.rate);
    EXPECT_EQ(reader.GetChannels(), fc.channels);
    EXPECT_NEAR(reader.GetLengthSamples(), expected, block);
    EXPECT_NEAR(reader.GetDurationMs(), 2000, 300);
    EXPECT_GT(reader.GetBitRate(), 0);
    const auto out = PcmFormat::FromHandle(reader.GetFormatHandle(), reader.GetFormatParam());
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(*out, (PcmFormat{fc.rate, fc.channels, SampleType::S16}));

    reader.Seek(0, 3);
    const Decoded ours = ReadAll(reader);
    EXPECT_NEAR(ours.Frames(), expected, block);
    EXPECT_GT(ToneShare(ours, ToneHz(fc.rate)), fc.minTone) << "our reader";

    // Exact seeking: what follows a seek is what a straight read gives from that frame.
    const std::int64_t length = ours.Frames();
    for (std::int64_t target : {std::int64_t{1}, length / 3, length / 2 + 7, length - 500}) {
        reader.Seek(target, 3);
        const Block b = reader.ReadBlock(400);
        ASSERT_EQ(b.size(), 400u * 2 * fc.channels) << "at " << target;
        int worst = 0;
        for (std::size_t i = 0; i < b.size() / 2; ++i) {
            const auto s = static_cast<std::int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
            worst = std::max(
                worst,
                std::abs(s - ours.samples[static_cast<std::size_t>(target * fc.channels) + i]));
        }
        // One frame of shift changes a 1 kHz tone by far more than this.
        EXPECT_LE(worst, fc.lossless ? 0 : 64) << "seek to " << target;
    }
    reader.Seek(length + 1000, 3);
    EXPECT_TRUE(reader.ReadBlock(4100).empty());
    reader.CloseFile();

    if (fc.ffmpegInput != "-") {
        const Decoded ff = DecodeWithFfmpeg(path, fc.ffmpegInput);
        EXPECT_EQ(ff.rate, fc.rate);
        EXPECT_EQ(ff.channels, fc.channels);
        EXPECT_NEAR(ff.Frames(), expected, block);
        EXPECT_GT(ToneShare(ff, ToneHz(fc.rate)), fc.minTone) << "ffmpeg";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip, ::testing::ValuesIn(AllFormatCases()),
                         [](const auto& info) { return info.param.name; });

TEST(AudioFile, WavPast4GiBContinuesAsRf64) {
    const std::string path = TempDir() + "/rf64.wav";
    TAudioFile2 writer;
    writer.SetRf64ThresholdForTesting(100000);
    writer.SetPcmFormat(44100, 2, 16);
    WriteTone(writer, path, 2.0);
    writer.CloseFile();
    const std::string bytes = Slurp(path);
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RF64");
    EXPECT_EQ(bytes.substr(12, 4), "ds64");
    std::uint64_t dataSize = 0;
    std::memcpy(&dataSize, bytes.data() + 28, 8);
    EXPECT_EQ(dataSize, 2u * 44100 * 4);
    const Decoded ff = DecodeWithFfmpeg(path);
    EXPECT_EQ(ff.Frames(), 2 * 44100);
    TAudioFile2 reader;
    reader.OpenForRead(QString::fromStdString(path), 0, 1);
    EXPECT_EQ(reader.GetLengthSamples(), 2 * 44100);

    // Below the threshold the file stays plain RIFF.
    TAudioFile2 small;
    small.SetRf64ThresholdForTesting(1000000);
    small.SetPcmFormat(44100, 2, 16);
    WriteTone(small, path, 2.0);
    small.CloseFile();
    EXPECT_EQ(Slurp(path).substr(0, 4), "RIFF");
}

TEST(AudioFile, WavHeaderIsCurrentAfterEveryBlockAndLowBitsAreExtensible) {
    const std::string path = TempDir() + "/live.wav";
    TAudioFile2 writer;
    writer.SetPcmFormat(8000, 1, 3);
    WriteTone(writer, path, 1.0, 300, 0, 2);
    // Still open: a reader sees the two blocks already.
    EXPECT_EQ(DecodeWithFfmpeg(path).Frames(), 2 * 2400);
    writer.CloseFile();
    const std::string bytes = Slurp(path);
    std::uint16_t tag = 0, valid = 0, container = 0;
    std::memcpy(&tag, bytes.data() + 56, 2); // after RIFF, WAVE, JUNK (28 bytes), "fmt ", size
    std::memcpy(&container, bytes.data() + 70, 2);
    std::memcpy(&valid, bytes.data() + 74, 2);
    EXPECT_EQ(tag, 0xFFFE);
    EXPECT_EQ(container, 8);
    EXPECT_EQ(valid, 3);
    // Three valid bits: every sample is a multiple of 32.
    for (std::size_t i = bytes.find("data") + 8; i < bytes.size(); ++i)
        ASSERT_EQ(static_cast<std::uint8_t>(bytes[i]) % 32, 0) << i;
}

TEST(AudioFile, Mp3CheckFollowsTheMpegVersions) {
    TAudioFile2 f;
    struct Row {
        int rate, kbps, mode;
        bool ok;
    };
    const Row rows[] = {
        {44100, 128, 2, true},  {48000, 320, 1, true}, {32000, 32, 2, true},
        {48000, 8, 2, false},   {44100, 24, 2, false}, {44100, 384, 2, false},
        {22050, 8, 1, true},    {24000, 160, 2, true}, {16000, 192, 2, false},
        {8000, 64, 1, true},    {11025, 80, 1, false}, {12000, 8, 2, true},
        {6000, 8, 1, false},    {6000, 128, 2, false}, {44100, 128, 0, false},
        {44100, 128, 3, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(f.IsMp3FormatSupported(r.rate, r.kbps, r.mode), r.ok)
            << r.rate << " Hz " << r.kbps << " kbit/s mode " << r.mode;
}

// The MPEG-1 layer III frames that follow one another from the end of the ID3v2 tag at the start
// of `bytes` (44.1 kHz, as written below).
int FramesAfterTag(const std::string& bytes) {
    static const int kKbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    std::size_t at = 10 + (std::size_t(b(6) & 0x7f) << 21 | std::size_t(b(7) & 0x7f) << 14 |
                           std::size_t(b(8) & 0x7f) << 7 | std::size_t(b(9) & 0x7f));
    int frames = 0;
    while (at + 4 <= bytes.size() && b(at) == 0xff && (b(at + 1) & 0xfe) == 0xfa &&
           (b(at + 2) >> 4) > 0 && (b(at + 2) >> 4) < 15 && ((b(at + 2) >> 2) & 3) == 0) {
        at += std::size_t(144 * kKbps[b(at + 2) >> 4] * 1000 / 44100 + ((b(at + 2) >> 1) & 1));
        ++frames;
    }
    return frames;
}

// However short a recording, its MP3 opens in our reader and in FFmpeg whatever the audio: FFmpeg
// takes a file for MP3 with certainty only from seven frames in a row, and with fewer its guess
// can tie with another format's (H.263 won on one short recording of a test tone), so a stop right
// after the start must still leave seven.
TEST(AudioFile, Mp3OfAnyShortLengthOpens) {
    Mp3EncoderSettings cbr;
    cbr.sampleRate = 44100;
    cbr.bitrate = 128;
    cbr.channelMode = 2;
    cbr.quality = 9;
    // What a new user records with: VBR, quality 9, VBR quality 5.
    Mp3EncoderSettings vbr = cbr;
    vbr.vbr = true;
    vbr.vbrBitrate = 128;
    vbr.vbrQuality = 5;
    const std::string path = TempDir() + "/short.mp3";
    for (const Mp3EncoderSettings& s : {cbr, vbr}) {
        for (int ms = 0; ms <= 200; ms += 3) {
            for (bool silent : {false, true}) {
                SCOPED_TRACE(std::to_string(ms) + " ms, vbr " + std::to_string(s.vbr) +
                             (silent ? ", silent" : ", tone"));
                TAudioFile2 writer;
                writer.SetMp3Encoder(s);
                if (silent) {
                    writer.CreateForWrite(QString::fromStdString(path), 0);
                    writer.WriteBlock(Block(std::size_t(ms * 441 / 10) * 4, 0));
                } else {
                    WriteTone(writer, path, ms / 1000.0, 50);
                }
                writer.CloseFile();
                TAudioInformation2 tags;
                tags.Put("infoTitle", "unknown title");
                tags.WriteTags(QString::fromStdString(path));
                EXPECT_GE(FramesAfterTag(Slurp(path)), 7);
                TAudioFile2 reader;
                try {
                    reader.OpenForRead(QString::fromStdString(path), 0, 1);
                    EXPECT_GE(ReadAll(reader).Frames(), ms * 44100 / 1000);
                } catch (const std::exception& e) {
                    ADD_FAILURE() << e.what();
                }
            }
        }
    }
}

// Bytes this process has read through system calls so far.
std::int64_t BytesReadByThisProcess() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return -1;
}

// Closing an MP3 reads only the few frames it checks at the start of the stream: a day's
// recording is hundreds of megabytes, which the close once read into memory whole.
TEST(AudioFile, Mp3CloseReadsOnlyTheStartOfTheStream) {
    Mp3EncoderSettings cbr;
    cbr.bitrate = 128;
    const std::string path = TempDir() + "/close.mp3";
    TAudioFile2 writer;
    writer.SetMp3Encoder(cbr);
    WriteTone(writer, path, 40.0);
    const std::int64_t before = BytesReadByThisProcess();
    ASSERT_GE(before, 0);
    writer.CloseFile();
    EXPECT_LT(BytesReadByThisProcess() - before, 32 * 1024);
    ASSERT_GT(Slurp(path).size(), 600u * 1024);
    TAudioFile2 reader;
    reader.OpenForRead(QString::fromStdString(path), 0, 1);
    EXPECT_NEAR(static_cast<double>(ReadAll(reader).Frames()), 40.0 * 44100, 44100 * 0.05);
}

TEST(AudioFile, ARecordingWhoseFolderIsRenamedIsStillFinished) {
    // The folder renamed (or the file moved) while recording: closing finishes the file where it
    // now is, as it would have at its old place.
    for (const FormatCase& fc : AllFormatCases()) {
        const QString base = QString::fromStdString(TempDir() + "/renamed_" + fc.name);
        QDir(base).removeRecursively();
        QDir(base + "_moved").removeRecursively();
        ASSERT_TRUE(QDir().mkpath(base + "/here"));
        ASSERT_TRUE(QDir().mkpath(base + "/there"));
        const std::string kept =
            (base + "/here/rec" + QString::fromStdString(fc.ext)).toStdString();
        const std::string moved =
            (base + "/there/rec" + QString::fromStdString(fc.ext)).toStdString();
        for (const std::string& path : {kept, moved}) {
            TAudioFile2 w;
            fc.configure(w);
            WriteTone(w, path, 1.0);
            if (path == moved) {
                ASSERT_TRUE(QDir().rename(base + "/there", base + "_moved")) << fc.name;
            }
            ASSERT_NO_THROW(w.CloseFile()) << fc.name;
        }
        const std::string now =
            (base + "_moved/rec" + QString::fromStdString(fc.ext)).toStdString();
        TAudioFile2 a, b;
        fc.configure(a);
        fc.configure(b);
        a.OpenForRead(QString::fromStdString(kept), 0, 1);
        b.OpenForRead(QString::fromStdString(now), 0, 1);
        EXPECT_EQ(b.GetLengthSamples(), a.GetLengthSamples()) << fc.name;
        EXPECT_EQ(ReadAll(b).samples, ReadAll(a).samples) << fc.name;
    }
}

// The length ffprobe gives the file, in seconds.
double FfprobeSeconds(const std::string& path) {
    FILE* p = ::popen(
        ("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'").c_str(), "r");
    if (p == nullptr)
        return -1;
    char text[64] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, p);
    ::pclose(p);
    return n > 0 ? std::atof(text) : -1;
}

TEST(AudioFile, AnMp3PastFourGiBKeepsItsLengthForFfmpeg) {
    // LAME counts the stream's bytes in 32 bits: past 4 GiB the info frame's count has wrapped to
    // far less than the file holds, and FFmpeg then takes the file for a concatenation, drops the
    // frame count and guesses the length from the bit rate. The close then leaves the count out.
    // A short recording with a megabyte of zeros after it is as far from its count.
    for (const FormatCase& fc : AllFormatCases()) {
        // (The frames of 16 kbit/s at 8 kHz are too small for LAME to write an info frame.)
        if (fc.ext != ".mp3" || fc.rate < 32000)
            continue;
        const std::string path = TempDir() + "/count_" + fc.name + fc.ext;
        TAudioFile2 w;
        fc.configure(w);
        WriteTone(w, path, 3.0);
        w.CloseFile();
        std::string bytes = Slurp(path);
        bytes.append(1 << 20, '\0');
        { std::ofstream(path, std::ios::binary) << bytes; }
        ASSERT_GT(std::abs(FfprobeSeconds(path) - 3.0), 1.0) << fc.name << ": no longer a test";
        const std::size_t start =
            Id3TagSize(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        auto* frame = reinterpret_cast<std::uint8_t*>(bytes.data()) + start;
        ASSERT_TRUE(ClearInfoFrameByteCount(frame, Mp3FrameLength(frame))) << fc.name;
        { std::ofstream(path, std::ios::binary) << bytes; }
        EXPECT_NEAR(FfprobeSeconds(path), 3.0, 0.2) << fc.name;
        TAudioFile2 r;
        r.OpenForRead(QString::fromStdString(path), 0, 1);
        EXPECT_NEAR(static_cast<double>(r.GetLengthSamples()), 3.0 * fc.rate, 1) << fc.name;
    }
    // Anything but an info frame with a count is left alone.
    std::uint8_t audio[4] = {0xff, 0xfb, 0x90, 0x64};
    EXPECT_FALSE(ClearInfoFrameByteCount(audio, sizeof audio));
}

TEST(AudioFile, OggCheckIsLibvorbisAnswer) {
    TAudioFile2 f;
    EXPECT_TRUE(f.IsOggFormatSupported(44100, 2, 128, 128, 128));
    EXPECT_TRUE(f.IsOggFormatSupported(22050, 1, 48, 48, 64));
    EXPECT_FALSE(f.IsOggFormatSupported(8000, 2, 320, 320, 320));
    EXPECT_FALSE(f.IsOggFormatSupported(48000, 2, 8, 8, 8));
    // Quality mode is never asked; a quality recording at a managed-refused setting still works.
    const std::string path = TempDir() + "/q.OGG";
    f.SetOggFormat(48000, 2, 8, 8, 8, 500);
    WriteTone(f, path, 0.5);
    f.CloseFile();
    EXPECT_GT(DecodeWithFfmpeg(path).Frames(), 20000);
}

// What a catalogue entry promises: " 44KHz, 128Kbps, Stereo, CBR", " 48KHz, Stereo, VBR Quality
// 98", " 44KHz, Stereo, Lossless".
struct WmaPromise {
    int rate = 0;
    int channels = 0;
    int kbps = 0; // 0: no bit rate named
    bool lossless = false;
};

WmaPromise ParseWmaEntry(const QString& entry) {
    static const QRegularExpression khz(QStringLiteral("^ (\\d+)KHz,"));
    static const QRegularExpression kbps(QStringLiteral(" (\\d+)Kbps,"));
    WmaPromise p;
    const QRegularExpressionMatch k = khz.match(entry);
    const int named = k.hasMatch() ? k.captured(1).toInt() : 0;
    // The entries round 44100, 22050 and 11025 down to whole kHz.
    p.rate = named == 44 ? 44100 : named == 22 ? 22050 : named == 11 ? 11025 : named * 1000;
    p.channels = entry.contains(QLatin1String(", Stereo,")) ? 2
                 : entry.contains(QLatin1String(", Mono,")) ? 1
                                                            : 0;
    const QRegularExpressionMatch b = kbps.match(entry);
    p.kbps = b.hasMatch() ? b.captured(1).toInt() : 0;
    p.lossless = entry.endsWith(QLatin1String("Lossless"));
    return p;
}

// The settings list of WMA presets and the presets the writer knows are two tables kept in step
// by hand: each entry, at its list position, must be the preset written for that position, and
// the file must hold the rate and channels the entry names.
TEST(AudioFile, EveryWmaCatalogueEntryIsThePresetWritten) {
    ASSERT_EQ(catalogue::WmaEntries().size(), catalogue::kWmaPresetCount);
    for (int index = 0; index < catalogue::kWmaPresetCount; ++index) {
        const QString entry = catalogue::WmaEntries()[index];
        const int preset = catalogue::WmaPreset(index);
        const WmaPromise promised = ParseWmaEntry(entry);
        SCOPED_TRACE("entry " + std::to_string(index) + " \"" + entry.toStdString() + "\"");
        ASSERT_GT(promised.rate, 0);
        ASSERT_GT(promised.channels, 0);

        WmaPreset p;
        ASSERT_TRUE(LookUpWmaPreset(preset, p));
        EXPECT_EQ(p.sampleRate, promised.rate);
        EXPECT_EQ(p.channels, promised.channels);
        EXPECT_EQ(p.listedBitrate, promised.kbps);
        EXPECT_EQ(p.lossless, promised.lossless);
        EXPECT_EQ(index >= catalogue::kFirstWmaQualityPreset, promised.kbps == 0)
            << "the entries from the first quality preset on name no bit rate";

        const std::string path = TempDir() + "/preset" + std::to_string(preset) + ".wma";
        TAudioFile2 f;
        f.SetWmaFormat(preset);
        if (promised.lossless) {
            EXPECT_ANY_THROW(WriteTone(f, path, 0.1)) << "refused (see AudioErrors)";
            continue;
        }
        WriteTone(f, path, 0.6);
        f.CloseFile();
        const Decoded d = DecodeWithFfmpeg(path);
        EXPECT_EQ(d.rate, promised.rate);
        EXPECT_EQ(d.channels, promised.channels);
        EXPECT_NEAR(d.Frames(), promised.rate * 6 / 10, 2048);
    }
}

TEST(AudioFile, WmaKeepsTheFirstFrameOfTheRecording) {
    // 300 ms of tone, then silence: the tone must end 300 ms into the decoded audio. Audio that
    // the decoder's priming frame swallowed would make it end one codec frame (46 or 64 ms) early.
    for (const int preset : {10, 36}) {
        const std::string path = TempDir() + "/start" + std::to_string(preset) + ".wma";
        TAudioFile2 f;
        f.SetWmaFormat(preset);
        f.CreateForWrite(QString::fromStdString(path), 0);
        const auto pcm = PcmFormat::FromHandle(f.GetFormatHandle(), f.GetFormatParam());
        ASSERT_TRUE(pcm.has_value());
        const std::int64_t toneFrames = pcm->rate * 3 / 10;
        f.WriteBlock(Sine(*pcm, 0, toneFrames, 440));
        f.WriteBlock(Block(static_cast<std::size_t>(toneFrames * pcm->BytesPerFrame()),
                           pcm->type == SampleType::U8 ? 128 : 0));
        f.CloseFile();

        TAudioFile2 reader;
        reader.OpenForRead(QString::fromStdString(path), 0, 1);
        for (const Decoded& d : {ReadAll(reader), DecodeWithFfmpeg(path)}) {
            std::int64_t lastLoud = -1;
            for (std::int64_t i = 0; i < d.Frames(); ++i)
                if (std::abs(d.samples[static_cast<std::size_t>(i * d.channels)]) > 4000)
                    lastLoud = i;
            EXPECT_NEAR(lastLoud, toneFrames, pcm->rate / 100) << "preset " << preset;
        }
    }
}

} // namespace

TEST(AudioFileReader, BitRateIsTheStreamsOwnNotTheFileAverage) {
    // The player shows GetBitRate / 1000: a tagged 128 kbit/s MP3 must show 128K.
    const std::string mp3 = TempDir() + "/rate.mp3";
    TAudioFile2LameEnc enc;
    enc.SetSampleRate(44100);
    enc.SetBitrate(128);
    enc.SetChannelMode(2);
    TAudioFile2 w;
    w.SetMp3Encoder(enc.DefaultInterface());
    WriteTone(w, mp3, 2.0);
    w.CloseFile();
    TAudioInformation2 tags;
    tags.Put("infoComments", QString(3000, u'x'));
    tags.WriteTags(QString::fromStdString(mp3));
    TAudioFile2 r;
    r.OpenForRead(QString::fromStdString(mp3), 0, 1);
    EXPECT_EQ(r.GetBitRate() / 1000, 128);

    const std::string wav = TempDir() + "/rate.wav";
    TAudioFile2 ww;
    ww.SetPcmFormat(44100, 2, 16);
    WriteTone(ww, wav, 1.0);
    ww.CloseFile();
    tags.WriteTags(QString::fromStdString(wav));
    TAudioFile2 rw;
    rw.OpenForRead(QString::fromStdString(wav), 0, 1);
    EXPECT_EQ(rw.GetBitRate(), 44100 * 2 * 16);
}
