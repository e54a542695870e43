#pragma once

#include <QString>
#include <cstdint>

class TIniFile;
class TAudioFile2;
class TAudioFile2LameEnc;
class MainDisplay;
class Prompts;
class SettingsDialogPort;
namespace settings {
struct Key;
}

// Turns the stored format choices into the writing file component's configuration before a new
// recording file is created, checks the MP3 and managed-bit-rate OGG choices with the component,
// and shows the one-line format description in "s_mono".
class EncoderConfig {
public:
    // All must outlive the object. `lameEnc` is the one MP3 encoder settings object of the run;
    // `settingsDialog` supplies the text of its WMA preset entry.
    EncoderConfig(TIniFile& ini, TAudioFile2& fileWrite, TAudioFile2LameEnc& lameEnc,
                  MainDisplay& display, Prompts& prompts, SettingsDialogPort& settingsDialog);

    // Configures `fileWrite` for output format `formatIndex` (0 MP3, 1 WAV, 2 WMA, 3 OGG, 4 RAW)
    // from the stored settings. `userNamed` tells whether the user picked the file name, which
    // decides the default of "ogg"/"enable quality". False when the component refused the choice;
    // the short message has then been shown. Component failures propagate as ComponentError.
    bool ConfigureFormat(int formatIndex, bool userNamed);

    // What the configured format writes per minute, an upper estimate in bytes (0 until a format
    // was configured). Used to warn before the disk fills up.
    std::int64_t BytesPerMinute() const { return bytesPerMinute_; }

    // The MP3 description: "Stereo 128K 44100HZ".
    static QString Mp3Description(int channels, int kbps, int rate);
    // The WMA description: the dialog's entry with every "bps" removed below the quality presets.
    static QString WmaDescription(const QString& entry, int storedIndex);

private:
    bool ConfigureMp3();
    void ConfigureWav();
    void ConfigureWma();
    bool ConfigureOgg(bool userNamed);
    void ConfigureRaw();
    void Show(const QString& description);
    // A stored integer with a recording's default.
    int Read(const settings::Key& key) const;

    TIniFile& ini_;
    TAudioFile2& fileWrite_;
    TAudioFile2LameEnc& lameEnc_;
    MainDisplay& display_;
    Prompts& prompts_;
    SettingsDialogPort& settingsDialog_;
    std::int64_t bytesPerMinute_ = 0;
};
