#include "formatcatalogue.h"

#include <gtest/gtest.h>

using namespace catalogue;

TEST(Catalogue, OutputFormatsRowByRow) {
    const struct {
        const char* entry;
        const char* ext;
        const char* filter;
    } rows[] = {
        {"MP3 File (*.mp3)", ".mp3", "MP3 files (*.mp3)|*.mp3|"},
        {"WAV File (*.wav)", ".wav", "WAV files (*.wav)|*.wav|"},
        {"WMA File (*.WMA)", ".wma", "WMA files (*.wma)|*.wma|"},
        {"OGG File (*.ogg)", ".OGG", "OGG files (*.OGG)|*.OGG|"},
        {"RAW File (*.RAW)", ".raw", "RAW files (*.raw)|*.raw|"},
    };
    ASSERT_EQ(OutputFormatEntries().size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(OutputFormatEntries()[i], rows[i].entry);
        EXPECT_EQ(Extension(i), rows[i].ext);
        EXPECT_EQ(SaveFilter(i), rows[i].filter);
    }
}

TEST(Catalogue, NumericTablesAndTheirDialogTexts) {
    const int rates[] = {6000, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(SampleRate(i), rates[i]);
    EXPECT_EQ(SampleRateEntries()[1], "8000 Hz");
    EXPECT_EQ(SampleRateEntries()[0], "6000 Hz");
    EXPECT_EQ(SampleRateEntries(true)[0], "6000Hz");
    EXPECT_EQ(SampleRateEntries(true)[8], "44100 Hz");

    const int kbps[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(BitRate(i), kbps[i]);
    EXPECT_EQ(BitRateEntries()[11], "128 Kbps");
    EXPECT_EQ(BitRateEntries().size(), 17);

    EXPECT_EQ(WavBitsEntries(),
              (QStringList{"2 bps", "3 bps", "4 bps", "5 bps", "8 bps", "16 bps", "32 bps"}));
    EXPECT_EQ(WavBits(6), 32);
    EXPECT_EQ(RawBitsEntries(), (QStringList{"2 BPS", "3 BPS", "4 BPS ", "5 BPS", "8 BPS", "16 BPS",
                                             "24 BPS", "32 BPS"}));
    EXPECT_EQ(RawBits(6), 24);
    EXPECT_EQ(RawBits(7), 32);
    EXPECT_EQ(Channels(0), 1);
    EXPECT_EQ(Channels(1), 2);
    EXPECT_EQ(ChannelName(1), "Mono");
    EXPECT_EQ(ChannelName(2), "Stereo");
    EXPECT_EQ(ChannelName(6), "");
}

TEST(Catalogue, WmaPresetsAndRawCodecs) {
    ASSERT_EQ(WmaEntries().size(), 47);
    EXPECT_EQ(WmaEntries()[0], " 48KHz, 192Kbps, Stereo, CBR");
    EXPECT_EQ(WmaEntries()[9], " 44KHz, 128Kbps, Stereo, CBR");
    EXPECT_EQ(WmaEntries()[20], WmaEntries()[22]);
    EXPECT_EQ(WmaEntries()[34], " 8KHz,  12Kbps, Stereo, CBR");
    EXPECT_EQ(WmaEntries()[37], " 8KHz,  5Kbps, Mono, CBR");
    EXPECT_EQ(WmaEntries()[38], " 48KHz, Stereo, VBR Quality 98");
    EXPECT_EQ(WmaEntries()[46], " 44KHz, Stereo, Lossless");
    for (const QString& e : WmaEntries())
        EXPECT_TRUE(e.startsWith(' ')) << e.toStdString();
    EXPECT_EQ(WmaPreset(37), 38);
    EXPECT_EQ(WmaPreset(38), 39);

    EXPECT_EQ(RawCodecEntries(),
              (QStringList{"PCM ", "ALAW", "ULAW", "GSM ", "IMA_ADPCM  ", "MS_ADPCM "}));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(RawCodec(i), i + 1) << "one codec code per index, whatever the naming mode";
}

TEST(Catalogue, IndicesOutsideTheirTableFallBackToTheListDefault) {
    for (int bad : {-1, -2147483647, 2147483647}) {
        EXPECT_EQ(SampleRate(bad), 44100);
        EXPECT_EQ(BitRate(bad), 128);
        EXPECT_EQ(WavBits(bad), 3);
        EXPECT_EQ(RawBits(bad), 16);
        EXPECT_EQ(Channels(bad), 2);
        EXPECT_EQ(WmaPreset(bad), 10);
        EXPECT_EQ(RawCodec(bad), 1);
    }
    EXPECT_EQ(SampleRate(10), 44100);
    EXPECT_EQ(BitRate(17), 128);
    EXPECT_EQ(WavBits(7), 3);
    EXPECT_EQ(RawBits(8), 16);
    EXPECT_EQ(Channels(2), 2);
    EXPECT_EQ(WmaPreset(47), 10);
    EXPECT_EQ(RawCodec(6), 1);
    EXPECT_EQ(Extension(7), ".mp3");
    EXPECT_FALSE(IsOutputFormat(5));
    EXPECT_FALSE(IsOutputFormat(-1));
}

TEST(Catalogue, PipeFiltersBecomeQtNameFilters) {
    // Each pattern named once, whether the text carries it already (with or without a space).
    for (int i = 0; i < kOutputFormatCount; ++i) {
        const QStringList save = ToQtFilters(SaveFilter(i));
        ASSERT_EQ(save.size(), 1);
        EXPECT_EQ(save[0].count('('), 1) << save[0].toStdString();
    }
    EXPECT_EQ(ToQtFilters(SaveFilter(3)), QStringList{"OGG files (*.OGG)"});
    const QStringList open = ToQtFilters(OpenFilter());
    EXPECT_EQ(open, QStringList({"All Supported Files (*.mp3 *.wav *.wma *.ogg *.raw)",
                                 "MP3 Files (*.mp3)", "WAV Files (*.wav)", "WMA Files (*.wma)",
                                 "OGG Files (*.ogg)", "RAW files (*.raw)"}));
    EXPECT_EQ(ToQtFilters("Text files (*.txt)|*.log|"), QStringList{"Text files (*.txt) (*.log)"})
        << "a text naming other patterns keeps them";
    EXPECT_EQ(HotKeyEntries().size(), 12);
    EXPECT_EQ(HotKeyEntries()[6], "F7");
}
