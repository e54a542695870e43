#include "encoderconfig.h"

#include "formatcatalogue.h"
#include "ports.h"
#include "prompts.h"
#include "rawcodec.h"
#include "settingstable.h"
#include "taudiofile2.h"
#include "taudiofile2lameenc.h"
#include "tinifile.h"
#include "wmapresets.h"

#include <algorithm>

namespace {

constexpr settings::Reader kReader = settings::Reader::RecordingStart;

constexpr std::int64_t kSecondsPerMinute = 60;

std::int64_t KbpsPerMinute(std::int64_t kbps) {
    return kbps * 1000 / 8 * kSecondsPerMinute;
}

std::int64_t PcmPerMinute(std::int64_t rate, std::int64_t channels, std::int64_t bits) {
    return (rate * channels * bits + 7) / 8 * kSecondsPerMinute;
}

// A WMA preset at the bit rate its list entry names; the quality and lossless presets name none
// and are estimated at CD rate, which none of them exceeds.
std::int64_t WmaPerMinute(int preset) {
    WmaPreset p;
    if (LookUpWmaPreset(preset, p) && p.listedBitrate > 0)
        return KbpsPerMinute(p.listedBitrate);
    return PcmPerMinute(44100, 2, 16);
}

} // namespace

EncoderConfig::EncoderConfig(TIniFile& ini, TAudioFile2& fileWrite, TAudioFile2LameEnc& lameEnc,
                             MainDisplay& display, Prompts& prompts,
                             SettingsDialogPort& settingsDialog)
    : ini_(ini), fileWrite_(fileWrite), lameEnc_(lameEnc), display_(display), prompts_(prompts),
      settingsDialog_(settingsDialog) {}

QString EncoderConfig::Mp3Description(int channels, int kbps, int rate) {
    return catalogue::ChannelName(channels) + " " + QString::number(kbps) + "K " +
           QString::number(rate) + "HZ";
}

QString EncoderConfig::WmaDescription(const QString& entry, int storedIndex) {
    QString text = entry;
    if (storedIndex < catalogue::kFirstWmaQualityPreset)
        text.remove(QStringLiteral("bps"), Qt::CaseSensitive);
    return text;
}

int EncoderConfig::Read(const settings::Key& key) const {
    return settings::ReadInteger(ini_, key, kReader);
}

void EncoderConfig::Show(const QString& description) {
    display_.SetText("s_mono", description);
}

bool EncoderConfig::ConfigureFormat(int formatIndex, bool userNamed) {
    switch (formatIndex) {
    case catalogue::Mp3:
        return ConfigureMp3();
    case catalogue::Wav:
        ConfigureWav();
        return true;
    case catalogue::Wma:
        ConfigureWma();
        return true;
    case catalogue::Ogg:
        return ConfigureOgg(userNamed);
    case catalogue::Raw:
        ConfigureRaw();
        return true;
    default:
        return true;
    }
}

bool EncoderConfig::ConfigureMp3() {
    const int rate = catalogue::SampleRate(Read(settings::kMp3Frequency));
    const int kbps = catalogue::BitRate(Read(settings::kMp3Bitrate));
    const int mode = catalogue::Channels(Read(settings::kMp3Channel));
    lameEnc_.SetSampleRate(rate);
    lameEnc_.SetBitrate(kbps);
    lameEnc_.SetChannelMode(mode);
    lameEnc_.SetQuality(Read(settings::kMp3Quality));

    Show(Mp3Description(mode, kbps, rate));

    int maxKbps = kbps;
    if (settings::ReadBool(ini_, settings::kMp3EnableVbr, kReader)) {
        const int vbrKbps = catalogue::BitRate(Read(settings::kMp3VbrBitrate));
        lameEnc_.SetVbrBitrate(vbrKbps);
        lameEnc_.SetVbrQuality(Read(settings::kMp3VbrQuality));
        maxKbps = std::max(maxKbps, vbrKbps);
    }

    const int checkRate = lameEnc_.GetSampleRate();
    const int checkKbps = lameEnc_.GetBitrate();
    const int checkMode = lameEnc_.GetChannelMode();
    if (!fileWrite_.IsMp3FormatSupported(checkRate, checkKbps, checkMode)) {
        prompts_.Information("This MP3 format is not supported.");
        return false;
    }
    fileWrite_.SetMp3Encoder(lameEnc_.DefaultInterface());
    // With VBR the VBR bit rate is the encoder's ceiling.
    bytesPerMinute_ = KbpsPerMinute(maxKbps);
    return true;
}

void EncoderConfig::ConfigureWav() {
    switch (Read(settings::kWavMode)) {
    case 0:
        fileWrite_.SetPcmFormat(44100, 2, 16);
        Show("stereo 16B 44100HZ");
        bytesPerMinute_ = PcmPerMinute(44100, 2, 16);
        break;
    case 1:
        fileWrite_.SetPcmFormat(800, 1, 4);
        Show("Mono 4B 800HZ");
        bytesPerMinute_ = PcmPerMinute(800, 1, 4);
        break;
    case 2: {
        const int rate = catalogue::SampleRate(Read(settings::kWavFrequency));
        const int channels = catalogue::Channels(Read(settings::kWavChannel));
        const int bits = catalogue::WavBits(Read(settings::kWavBit));
        fileWrite_.SetPcmFormat(rate, channels, bits);
        Show(catalogue::ChannelName(channels) + " " + QString::number(bits) + "B " +
             QString::number(rate) + "HZ");
        bytesPerMinute_ = PcmPerMinute(rate, channels, bits);
        break;
    }
    default:
        // A hand-edited mode configures nothing; the file gets the format chosen last.
        break;
    }
}

void EncoderConfig::ConfigureWma() {
    const int index = Read(settings::kWmaFormat);
    const int preset = catalogue::WmaPreset(index);
    fileWrite_.SetWmaFormat(preset);
    Show(WmaDescription(settingsDialog_.WmaEntryText(), index));
    bytesPerMinute_ = WmaPerMinute(preset);
}

bool EncoderConfig::ConfigureOgg(bool userNamed) {
    const bool qualityMode =
        settings::ReadBool(ini_, settings::kOggEnableQuality, kReader, userNamed);
    const int rate = catalogue::SampleRate(Read(settings::kOggFrequency));
    const int channels = catalogue::Channels(Read(settings::kOggChannel));
    const int minKbps = catalogue::BitRate(Read(settings::kOggMinBitrate));
    const int maxKbps = catalogue::BitRate(Read(settings::kOggMaxBitrate));
    const QString tail = " " + QString::number(rate) + "HZ";

    if (qualityMode) {
        const auto quality = static_cast<std::int16_t>(Read(settings::kOggQuality));
        fileWrite_.SetOggFormat(rate, channels, minKbps, minKbps, maxKbps, quality);
        Show(catalogue::ChannelName(channels) + " " + QString::number(quality) + "Q" + tail);
        // Vorbis at its top quality stays near 500 kbit/s for CD stereo.
        bytesPerMinute_ = KbpsPerMinute(64 + 436 * std::clamp<int>(quality, 0, 1000) / 1000) *
                          std::max(1, channels) * rate / (2 * 44100);
        bytesPerMinute_ = std::max<std::int64_t>(bytesPerMinute_, KbpsPerMinute(64));
        return true;
    }

    if (!fileWrite_.IsOggFormatSupported(rate, channels, minKbps, minKbps, maxKbps)) {
        prompts_.Information("This OGG format is not supported.");
        return false;
    }
    fileWrite_.SetOggFormat(rate, channels, minKbps, minKbps, maxKbps, -1);
    Show(catalogue::ChannelName(channels) + " " + QString::number(minKbps) + "K" + tail);
    bytesPerMinute_ = KbpsPerMinute(std::max(minKbps, maxKbps));
    return true;
}

void EncoderConfig::ConfigureRaw() {
    // One codec code per stored index, whichever way the file was named: a user-named file once
    // got the index itself, which recorded the wrong codec (PCM as nothing, A-law as PCM...).
    const auto [codec, chosenRate, chosenChannels, bits] = settings::ReadRawChoice(ini_);
    fileWrite_.SetRawFormat(codec, chosenRate, chosenChannels, bits);
    // The line and the estimate say what is written, which for GSM 6.10 (8000 Hz mono only) is
    // not what was chosen.
    RawLayout layout;
    std::string why;
    const bool known = DescribeRaw(RawFormat{codec, chosenRate, chosenChannels, bits}, layout, why);
    const int rate = known ? layout.sampleRate : chosenRate;
    const int channels = known ? layout.channels : chosenChannels;
    Show(catalogue::ChannelName(channels) + " " + QString::number(bits) + "B " +
         QString::number(rate) + "HZ");

    switch (codec) {
    case 2: // A-law
    case 3: // mu-law
        bytesPerMinute_ = PcmPerMinute(rate, channels, 8);
        break;
    case 4: // GSM 6.10: 33 bytes per 160 samples
        bytesPerMinute_ = static_cast<std::int64_t>(rate) * channels * 33 / 160 * 60;
        break;
    case 5: // IMA and MS ADPCM: about 4 bits per sample
    case 6:
        bytesPerMinute_ = PcmPerMinute(rate, channels, 5);
        break;
    default:
        bytesPerMinute_ = PcmPerMinute(rate, channels, bits);
        break;
    }
}
