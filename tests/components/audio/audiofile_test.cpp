// Round trips through the writer and two readers (ours and the ffmpeg tool), exact seeking, the
// RF64 switch and the format checks.
#include "audiotestutil.h"
#include "taudiofile2.h"
#include "taudioinformation2.h"

#include <cstdlib>
#include <cstring>
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

TEST(AudioFile, EveryWmaPresetWritesWhatItsTextSays) {
    const struct {
        int preset, rate, channels;
    } rows[] = {{1, 48000, 2},  {6, 44100, 2},  {16, 44100, 1}, {18, 44100, 1},
                {22, 32000, 1}, {25, 22050, 2}, {31, 16000, 1}, {33, 11025, 1},
                {35, 8000, 2},  {38, 8000, 1},  {39, 48000, 2}, {46, 44100, 2}};
    for (const auto& r : rows) {
        const std::string path = TempDir() + "/preset" + std::to_string(r.preset) + ".wma";
        TAudioFile2 f;
        f.SetWmaFormat(r.preset);
        WriteTone(f, path, 0.6);
        f.CloseFile();
        const Decoded d = DecodeWithFfmpeg(path);
        EXPECT_EQ(d.rate, r.rate) << r.preset;
        EXPECT_EQ(d.channels, r.channels) << r.preset;
        EXPECT_NEAR(d.Frames(), r.rate * 6 / 10, 2048) << r.preset;
    }
    // Every preset at least opens and writes.
    for (int preset = 1; preset <= 46; ++preset) {
        TAudioFile2 f;
        f.SetWmaFormat(preset);
        EXPECT_NO_THROW({
            WriteTone(f, TempDir() + "/any.wma", 0.1);
            f.CloseFile();
        }) << preset;
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
