#pragma once

// Recordings of many hours through the program's recording path over the simulated sound server,
// whose clock runs as fast as the machine can write: what the display shows, what the file holds
// at the end, and what the process's memory does meanwhile. Shared by the long-recording test and
// the day benchmark.

#include "appstate.h"
#include "decodedaudio.h"
#include "recordingrig.h"
#include "simulatedbackend.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define TARNO_DAY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNO_DAY_ASAN 1
#endif
#endif
#ifdef TARNO_DAY_ASAN
// From the sanitizer's public interface (sanitizer/allocator_interface.h, which GCC does not ship).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

// Bytes the process holds in live heap allocations (under AddressSanitizer its own count, which
// leaves out the freed blocks it keeps in quarantine). Steadier than the resident size for
// telling growth from noise.
inline std::int64_t HeapInUse() {
#ifdef TARNO_DAY_ASAN
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 m = mallinfo2();
    return static_cast<std::int64_t>(m.uordblks + m.hblkhd); // the arenas and mapped blocks
#endif
}

// The resident set size of the process in bytes.
inline std::int64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * 4096;
}

// One way of recording: the stored settings that choose it and how to read the file back.
struct DayFormat {
    const char* name = "";
    int rate = 0;     // of the PCM the recording captures
    int channels = 0; // of the PCM the recording captures
    std::function<void(TIniFile&)> configure;
    // For a RAW file: SetRawFormat's arguments on the reader, and FFmpeg's input options.
    int rawCodec = 0;
    int rawBits = 0;
    QStringList ffmpegInput;
};

// Low rates and one channel, so that a simulated day costs the encoder little; the recording
// path is the same at any rate.
namespace dayformats {

inline DayFormat Make(const char* name, int rate, std::function<void(TIniFile&)> configure) {
    DayFormat f;
    f.name = name;
    f.rate = rate;
    f.channels = 1;
    f.configure = std::move(configure);
    return f;
}

// MP3 8000 Hz mono, 32 kbit/s CBR (below 24 kbit/s LAME's info frame, which holds the exact
// length, does not fit into a frame and is left out).
inline DayFormat Mp3() {
    return Make("MP3", 8000, [](TIniFile& ini) {
        ini.WriteInteger("output", "format", 0);
        ini.WriteInteger("mp3", "frequency", 1);
        ini.WriteInteger("mp3", "channel", 0);
        ini.WriteInteger("mp3", "bitrate", 3);
        ini.WriteBool("mp3", "enable vbr", false);
    });
}
// WAV custom format at `rateIndex` of the sample-rate list, mono, 16 bits.
inline DayFormat Wav(int rateIndex, int rate) {
    return Make("WAV", rate, [rateIndex](TIniFile& ini) {
        ini.WriteInteger("output", "format", 1);
        ini.WriteInteger("wav", "mode", 2);
        ini.WriteInteger("wav", "frequency", rateIndex);
        ini.WriteInteger("wav", "channel", 0);
        ini.WriteInteger("wav", "bit", 5);
    });
}
// WMA " 8KHz,  8Kbps, Mono, CBR".
inline DayFormat Wma() {
    return Make("WMA", 8000, [](TIniFile& ini) {
        ini.WriteInteger("output", "format", 2);
        ini.WriteInteger("wma", "format", 35);
    });
}
// OGG Vorbis 8000 Hz mono, quality 0.3.
inline DayFormat Ogg() {
    return Make("OGG", 8000, [](TIniFile& ini) {
        ini.WriteInteger("output", "format", 3);
        ini.WriteBool("ogg", "enable quality", true);
        ini.WriteInteger("ogg", "quality", 300);
        ini.WriteInteger("ogg", "frequency", 1);
        ini.WriteInteger("ogg", "channel", 0);
    });
}
// RAW A-law 8000 Hz mono.
inline DayFormat Raw() {
    DayFormat f = Make("RAW", 8000, [](TIniFile& ini) {
        ini.WriteInteger("output", "format", 4);
        ini.WriteInteger("raw", "format", 1);
        ini.WriteInteger("raw", "f", 1);
        ini.WriteInteger("raw", "c", 0);
        ini.WriteInteger("raw", "b", 4);
    });
    f.rawCodec = 2;
    f.rawBits = 8;
    f.ffmpegInput = {"-f", "alaw", "-ar", "8000", "-ac", "1"};
    return f;
}

} // namespace dayformats

// The recording path over a simulated server whose clock advances one second per step.
class DayRecorder {
public:
    static constexpr int kStepMs = 1000;

    explicit DayRecorder(const DayFormat& format)
        : format_(format), backend_(std::make_shared<SimulatedBackend>()), rig_(backend_) {
        backend_->SetStepMs(kStepMs);
        QDir(rig_.outDir).removeRecursively();
        QFile::remove(rig_.ini.FileName());
        rig_.dialog.wmaText = " 8KHz,  8Kbps, Mono, CBR";
        format_.configure(rig_.ini);
    }
    ~DayRecorder() {
        if (rig_.state.recording)
            rig_.Stop();
        QDir(rig_.outDir).removeRecursively();
        QFile::remove(rig_.ini.FileName());
    }
    DayRecorder(const DayRecorder&) = delete;
    DayRecorder& operator=(const DayRecorder&) = delete;

    bool Start() {
        rig_.Start();
        return rig_.state.recording;
    }
    // Lets `ms` of recording time pass; every block and timer event of it has been handled when
    // this returns. The display's call log is dropped, or it would grow with the recording.
    void Advance(std::int64_t ms) {
        while (ms > 0) {
            const int step = static_cast<int>(std::min<std::int64_t>(ms, 60 * 60 * 1000));
            backend_->Advance(step);
            ms -= step;
            elapsedMs_ += step;
            rig_.display.log.clear();
        }
    }
    void Stop() { rig_.Stop(); }

    std::int64_t ElapsedMs() const { return elapsedMs_; }
    // The frames the source produced so far: the recording's exact length.
    std::int64_t ElapsedFrames() const { return elapsedMs_ * format_.rate / 1000; }
    QString Shown() const { return rig_.display.texts.value("s_time"); }
    QString ShownSize() const { return rig_.display.texts.value("s_sizeson"); }
    QString Path() const { return rig_.state.out_file_name; }
    const RecordingRig& Rig() const { return rig_; }
    const DayFormat& Format() const { return format_; }

private:
    DayFormat format_;
    std::shared_ptr<SimulatedBackend> backend_;
    RecordingRig rig_;
    std::int64_t elapsedMs_ = 0;
};

// What the program's own reader makes of the end of a finished recording.
struct TailRead {
    std::int64_t lengthFrames = -1; // the length the file states
    int rate = 0;
    std::int64_t tailFrames = 0; // frames read after seeking to `fromFrame`
    double toneHz = 0;           // of those frames
};

inline TailRead ReadTail(const QString& path, const DayFormat& format, std::int64_t tailMs) {
    TailRead out;
    TAudioFile2 reader;
    if (format.rawCodec != 0)
        reader.SetRawFormat(format.rawCodec, format.rate, format.channels, format.rawBits);
    reader.OpenForRead(path, 0, 1);
    out.lengthFrames = reader.GetLengthSamples();
    out.rate = reader.GetSampleRate();
    const std::optional<PcmFormat> pcm =
        PcmFormat::FromHandle(reader.GetFormatHandle(), reader.GetFormatParam());
    reader.Seek(std::max<std::int64_t>(out.lengthFrames - tailMs * out.rate / 1000, 0), 0);
    std::vector<double> samples;
    for (;;) {
        const Block block = reader.ReadBlock(4100);
        if (block.empty() || !pcm)
            break;
        const std::size_t bpf = pcm->BytesPerFrame();
        out.tailFrames += static_cast<std::int64_t>(block.size() / bpf);
        for (std::size_t i = 0; i + bpf <= block.size(); i += bpf)
            samples.push_back(DecodeSample(pcm->type, block.data() + i));
    }
    reader.CloseFile();
    out.toneHz = ToneHz(samples, out.rate);
    return out;
}

// What FFmpeg makes of it: the duration ffprobe states, and where the audio ends that ffmpeg
// decodes after seeking to `tailMs` before that duration.
struct FfmpegTail {
    double durationS = -1;
    double endS = -1; // the seek point plus the seconds decoded from there
    double toneHz = 0;
};

inline FfmpegTail FfmpegReadTail(const QString& path, const DayFormat& format,
                                 std::int64_t tailMs) {
    FfmpegTail out;
    QProcess probe;
    probe.start("ffprobe",
                QStringList{"-v", "error"} + format.ffmpegInput +
                    QStringList{"-show_entries", "format=duration", "-of", "csv=p=0", path});
    if (!probe.waitForFinished(120000) || probe.exitCode() != 0)
        return out;
    out.durationS = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().toDouble();
    const double from = std::max(out.durationS - tailMs / 1000.0, 0.0);
    QProcess decode;
    decode.start("ffmpeg", QStringList{"-v", "error", "-ss", QString::number(from, 'f', 3)} +
                               format.ffmpegInput +
                               QStringList{"-i", path, "-map", "0:a:0", "-ac", "1", "-ar",
                                           QString::number(format.rate), "-f", "f64le", "-"});
    if (!decode.waitForFinished(120000) || decode.exitCode() != 0)
        return out;
    const QByteArray bytes = decode.readAllStandardOutput();
    std::vector<double> samples(static_cast<std::size_t>(bytes.size()) / sizeof(double));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(double));
    out.endS = QString::number(from, 'f', 3).toDouble() +
               static_cast<double>(samples.size()) / format.rate;
    out.toneHz = ToneHz(samples, format.rate);
    return out;
}

// Free bytes on the disk that holds the home folder, where recordings go.
inline std::int64_t FreeBytesAtHome() {
    return QStorageInfo(QDir::homePath()).bytesAvailable();
}
