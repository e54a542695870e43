#include "formatcatalogue.h"

#include <array>

namespace catalogue {
namespace {

template <std::size_t N> int At(const std::array<int, N>& table, int index, int fallback) {
    if (index < 0 || index >= static_cast<int>(N))
        index = fallback;
    return table[static_cast<std::size_t>(index)];
}

constexpr std::array<int, kSampleRateCount> kSampleRates{6000,  8000,  11025, 12000, 16000,
                                                         22050, 24000, 32000, 44100, 48000};
constexpr std::array<int, kBitRateCount> kBitRates{8,  16,  24,  32,  40,  48,  56,  64, 80,
                                                   96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, kWavBitsCount> kWavBits{2, 3, 4, 5, 8, 16, 32};
constexpr std::array<int, kRawBitsCount> kRawBits{2, 3, 4, 5, 8, 16, 24, 32};

} // namespace

const QStringList& OutputFormatEntries() {
    static const QStringList list{"MP3 File (*.mp3)", "WAV File (*.wav)", "WMA File (*.WMA)",
                                  "OGG File (*.ogg)", "RAW File (*.RAW)"};
    return list;
}

bool IsOutputFormat(int formatIndex) {
    return formatIndex >= 0 && formatIndex < kOutputFormatCount;
}

QString Extension(int formatIndex) {
    static const QStringList ext{".mp3", ".wav", ".wma", ".OGG", ".raw"};
    return ext[IsOutputFormat(formatIndex) ? formatIndex : 0];
}

QString SaveFilter(int formatIndex) {
    static const QStringList filters{"MP3 files (*.mp3)|*.mp3|", "WAV files (*.wav)|*.wav|",
                                     "WMA files (*.wma)|*.wma|", "OGG files (*.OGG)|*.OGG|",
                                     "RAW files (*.raw)|*.raw|"};
    return filters[IsOutputFormat(formatIndex) ? formatIndex : 0];
}

int SampleRate(int index) {
    return At(kSampleRates, index, kDefaultSampleRateIndex);
}

QStringList SampleRateEntries(bool wavPage) {
    QStringList list;
    for (int hz : kSampleRates)
        list << QString::number(hz) + " Hz";
    if (wavPage)
        list[0] = "6000Hz";
    return list;
}

int BitRate(int index) {
    return At(kBitRates, index, kDefaultBitRateIndex);
}

QStringList BitRateEntries() {
    QStringList list;
    for (int kbps : kBitRates)
        list << QString::number(kbps) + " Kbps";
    return list;
}

int WavBits(int index) {
    return At(kWavBits, index, kDefaultWavBitsIndex);
}

const QStringList& WavBitsEntries() {
    static const QStringList list{"2 bps", "3 bps", "4 bps", "5 bps", "8 bps", "16 bps", "32 bps"};
    return list;
}

int RawBits(int index) {
    return At(kRawBits, index, kDefaultRawBitsIndex);
}

const QStringList& RawBitsEntries() {
    static const QStringList list{"2 BPS", "3 BPS",  "4 BPS ", "5 BPS",
                                  "8 BPS", "16 BPS", "24 BPS", "32 BPS"};
    return list;
}

int Channels(int index) {
    if (index < 0 || index > 1)
        index = kDefaultChannelIndex;
    return index + 1;
}

const QStringList& ChannelEntries() {
    static const QStringList list{"Mono", "Stereo"};
    return list;
}

QString ChannelName(int channelCount) {
    if (channelCount == 1)
        return "Mono";
    if (channelCount == 2)
        return "Stereo";
    return {};
}

const QStringList& WavModeEntries() {
    static const QStringList list{"CD quality WAV format .", "Best suited WAV format",
                                  "Custom format"};
    return list;
}

const QStringList& WmaEntries() {
    static const QStringList list{
        " 48KHz, 192Kbps, Stereo, CBR",   " 48KHz, 160Kbps, Stereo, CBR",
        " 48KHz, 128Kbps, Stereo, CBR",   " 48KHz, 96Kbps, Stereo, CBR",
        " 48KHz, 64Kbps, Stereo, CBR",    " 44KHz, 320Kbps, Stereo, CBR",
        " 44KHz, 256Kbps, Stereo, CBR",   " 44KHz, 192Kbps, Stereo, CBR",
        " 44KHz, 160Kbps, Stereo, CBR",   " 44KHz, 128Kbps, Stereo, CBR",
        " 44KHz, 96Kbps, Stereo, CBR",    " 44KHz, 80Kbps, Stereo, CBR",
        " 44KHz, 64Kbps, Stereo, CBR",    " 44KHz, 48Kbps, Stereo, CBR",
        " 44KHz, 32Kbps, Stereo, CBR",    " 44KHz, 48Kbps, Mono, CBR",
        " 44KHz, 32Kbps, Mono, CBR",      " 44KHz, 20Kbps, Mono, CBR",
        " 32KHz, 48Kbps, Stereo, CBR",    " 32KHz, 40Kbps, Stereo, CBR",
        " 32KHz, 32Kbps, Stereo, CBR",    " 32KHz, 20Kbps, Mono, CBR",
        " 32KHz, 32Kbps, Stereo, CBR",    " 32KHz, 22Kbps, Stereo, CBR",
        " 22KHz, 20Kbps, Stereo, CBR",    " 22KHz, 20Kbps, Mono, CBR",
        " 22KHz, 16Kbps, Mono, CBR",      " 16KHz, 20Kbps, Stereo, CBR",
        " 16KHz, 16Kbps, Stereo, CBR",    " 16KHz, 16Kbps, Mono, CBR",
        " 16KHz, 12Kbps, Mono, CBR",      " 16KHz, 10Kbps, Mono, CBR",
        " 11KHz, 10Kbps, Mono, CBR",      " 11KHz, 8Kbps, Mono, CBR",
        " 8KHz,  12Kbps, Stereo, CBR",    " 8KHz,  8Kbps, Mono, CBR",
        " 8KHz,  6Kbps, Mono, CBR",       " 8KHz,  5Kbps, Mono, CBR",
        " 48KHz, Stereo, VBR Quality 98", " 48KHz, Stereo, VBR Quality 90",
        " 44KHz, Stereo, VBR Quality 98", " 44KHz, Stereo, VBR Quality 90",
        " 44KHz, Stereo, VBR Quality 75", " 44KHz, Stereo, VBR Quality 50",
        " 44KHz, Stereo, VBR Quality 25", " 44KHz, Stereo, VBR Quality 10",
        " 44KHz, Stereo, Lossless"};
    return list;
}

int WmaPreset(int index) {
    if (index < 0 || index >= kWmaPresetCount)
        index = kDefaultWmaIndex;
    return index + 1;
}

const QStringList& RawCodecEntries() {
    static const QStringList list{"PCM ", "ALAW", "ULAW", "GSM ", "IMA_ADPCM  ", "MS_ADPCM "};
    return list;
}

int RawCodec(int index) {
    if (index < 0 || index >= kRawCodecCount)
        index = kDefaultRawCodecIndex;
    return index + 1;
}

QString OpenFilter() {
    return "All Supported Files|*.mp3;*.wav;*.wma;*.ogg;*.raw|MP3 Files(*.mp3)|*.mp3|WAV "
           "Files(*.wav)|*.wav|WMA Files(*.wma)|*.wma|OGG Files(*.ogg)|*.ogg|RAW files "
           "(*.raw)|*.raw";
}

QStringList HotKeyEntries() {
    QStringList list;
    for (int i = 1; i <= 12; ++i)
        list << "F" + QString::number(i);
    return list;
}

QStringList ToQtFilters(const QString& pipeFilter) {
    QStringList parts = pipeFilter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            continue;
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        // Most texts already end in their patterns ("MP3 files (*.mp3)"); name them once.
        QString text = parts[i];
        const QString shown = "(" + patterns + ")";
        if (text.endsWith(shown))
            text.chop(shown.size());
        out << text.trimmed() + " " + shown;
    }
    return out;
}

} // namespace catalogue
