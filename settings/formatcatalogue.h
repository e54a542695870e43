#pragma once

#include <QString>
#include <QStringList>

// The option lists behind every stored format choice. The settings keep list positions; these
// lookups turn a position into the value a component is given. An index outside its list never
// reads outside it: each lookup falls back to that list's default position (the default the
// recording start reads with) and returns that entry's value instead.
namespace catalogue {

// Output formats (key "output" "format").
enum OutputFormat { Mp3 = 0, Wav = 1, Wma = 2, Ogg = 3, Raw = 4 };
constexpr int kOutputFormatCount = 5;
const QStringList& OutputFormatEntries(); // "MP3 File (*.mp3)" ...
QString Extension(int formatIndex);       // ".mp3", ".wav", ".wma", ".OGG", ".raw"
QString SaveFilter(int formatIndex);      // "MP3 files (*.mp3)|*.mp3|" ...
bool IsOutputFormat(int formatIndex);

// sample_rates (default index 8, 44100 Hz).
constexpr int kSampleRateCount = 10;
constexpr int kDefaultSampleRateIndex = 8;
int SampleRate(int index);
// The dialog texts: "8000 Hz"; the WAV page writes its first entry "6000Hz".
QStringList SampleRateEntries(bool wavPage = false);

// bit_rates in kbit/s (default index 11, 128 kbit/s).
constexpr int kBitRateCount = 17;
constexpr int kDefaultBitRateIndex = 11;
int BitRate(int index);
QStringList BitRateEntries(); // "128 Kbps"

// sample_sizes: WAV list (7 entries, default 1 = 3 bits) and RAW list (8, default 5 = 16 bits).
constexpr int kWavBitsCount = 7;
constexpr int kDefaultWavBitsIndex = 1;
int WavBits(int index);
const QStringList& WavBitsEntries(); // "2 bps" ...
constexpr int kRawBitsCount = 8;
constexpr int kDefaultRawBitsIndex = 5;
int RawBits(int index);
const QStringList& RawBitsEntries(); // "2 BPS" ... (the third ends with a blank)

// Channels: index 0 "Mono", 1 "Stereo" (default 1); components get index + 1.
constexpr int kDefaultChannelIndex = 1;
int Channels(int index);
const QStringList& ChannelEntries();
// channel_names by channel count: 1 "Mono", 2 "Stereo"; other counts give "".
QString ChannelName(int channelCount);

// WAV modes (key "wav" "mode").
const QStringList& WavModeEntries();

// WMA presets: 47 entries (default 9); the preset number is index + 1.
constexpr int kWmaPresetCount = 47;
constexpr int kDefaultWmaIndex = 9;
constexpr int kFirstWmaQualityPreset = 38; // entries from here on are quality-based
const QStringList& WmaEntries();
int WmaPreset(int index);

// RAW codecs: six entries (default 0). The codec code is index + 1 whichever way the file is
// named (1 PCM, 2 A-law, 3 mu-law, 4 GSM 6.10, 5 IMA ADPCM, 6 MS ADPCM).
constexpr int kRawCodecCount = 6;
constexpr int kDefaultRawCodecIndex = 0;
const QStringList& RawCodecEntries();
int RawCodec(int index);

// The open dialog's filter for adding files to the list.
QString OpenFilter();

// Hot-key entries "F1" .. "F12".
QStringList HotKeyEntries();

// A Delphi-style filter "A|*.a|B|*.b|" as Qt name filters "A (*.a)" ... for QFileDialog. A text
// that already ends in its patterns ("MP3 files (*.mp3)|*.mp3") shows them once.
QStringList ToQtFilters(const QString& pipeFilter);

} // namespace catalogue
