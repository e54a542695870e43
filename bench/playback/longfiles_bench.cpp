// Long recordings in the list and the player: adding a 10-hour file of each format to the
// recordings list (the list window's AddToList) and seeking to its middle (Seek and the first
// block after it, what the player does), each from a cold page cache and warm. The one-time
// set-up of the process's first AddToList is measured on its own first, on short files.
//
//   bench_long_files [hours=10] [formats=MP3,MP3CBR,WMA,OGG,WAV,RAW]
//
// The files are written by the program's own file component at the recording defaults of each
// format (MP3 44.1 kHz stereo VBR 128 kbit/s, WAV and RAW 44.1 kHz stereo 16-bit, WMA
// "44KHz, 128Kbps, Stereo", OGG quality 0.3), and MP3 at a constant 128 kbit/s, two at a time on
// two threads, and deleted after their figures. WAV and RAW take 6.4 GB each at 10 hours, in
// $TMPDIR. With BENCH_LONG_FILES_KEEP=DIR the files are kept in DIR and a later run with the same
// hours measures them again without writing them (the "written in" column then shows 0).

#include "appstate.h"
#include "fakeports.h"
#include "playbackfile.h"
#include "recorderskin.h"
#include "taudiofile2.h"
#include "taudiofile2lameenc.h"
#include "testaudio.h"
#include "tfm_list.h"
#include "tinifile.h"
#include "tskin.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class NoActions : public RecorderActions {
public:
    void StartRecording() override {}
    void StopRecording() override {}
    void ToggleRecordPause() override {}
    void PlaySelected() override {}
    void TogglePlayPause() override {}
    void StopPlaying() override {}
};

struct LongFile {
    LongFile(const char* n, const char* e, std::function<void(TAudioFile2&)> c)
        : name(n), ext(e), choose(std::move(c)) {}
    const char* name;
    const char* ext;
    std::function<void(TAudioFile2&)> choose;
    QString path;
    double writeS = 0;
};

// Writes `seconds` of a 440 Hz tone in 300 ms blocks, as a recording does.
double Write(LongFile& file, std::int64_t seconds) {
    QElapsedTimer t;
    t.start();
    TAudioFile2 writer;
    file.choose(writer);
    writer.CreateForWrite(file.path, 0);
    const auto format = PcmFormat::FromHandle(writer.GetFormatHandle(), writer.GetFormatParam());
    const int blockFrames = format->rate * 3 / 10;
    // 440 Hz repeats every 2205 frames at 44.1 kHz; 300 ms is 6 periods, so one block serves all.
    const Block block = SinePcm(*format, 0, blockFrames, 440);
    for (std::int64_t n = 0; n < seconds * 10 / 3; ++n)
        writer.WriteBlock(block);
    writer.CloseFile();
    return t.nsecsElapsed() / 1e9;
}

// Drops the file's pages from the page cache (clean pages only, which a closed file has after
// fdatasync), so the next read comes from the disk.
void DropCache(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// 128 kbit/s stereo at 44.1 kHz, the recorder's defaults; VBR averages 128 kbit/s.
void SetMp3At128(TAudioFile2& f, bool vbr) {
    TAudioFile2LameEnc enc;
    enc.SetSampleRate(44100);
    enc.SetBitrate(128);
    enc.SetChannelMode(2);
    enc.SetQuality(9);
    if (vbr) {
        enc.SetVbrBitrate(128);
        enc.SetVbrQuality(5);
    }
    f.SetMp3Encoder(enc.DefaultInterface());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int hours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::int64_t seconds = hours * 3600LL;

    QTemporaryDir dir; // in $TMPDIR

    TIniFile ini(dir.filePath("tarnoRecord.ini"));
    // RAW files are read with the stored RAW settings: PCM 44.1 kHz stereo 16-bit.
    ini.WriteInteger("raw", "format", 0);
    ini.WriteInteger("raw", "f", 8);
    ini.WriteInteger("raw", "c", 1);
    ini.WriteInteger("raw", "b", 5);

    std::vector<LongFile> files{
        {"MP3", ".mp3", [](TAudioFile2& f) { SetMp3At128(f, true); }},
        {"MP3CBR", ".cbr.mp3", [](TAudioFile2& f) { SetMp3At128(f, false); }},
        {"WAV", ".wav", [](TAudioFile2& f) { f.SetPcmFormat(44100, 2, 16); }},
        {"WMA", ".wma", [](TAudioFile2& f) { f.SetWmaFormat(10); }},
        {"OGG", ".OGG", [](TAudioFile2& f) { f.SetOggFormat(44100, 2, 128, 128, 128, 300); }},
        {"RAW", ".raw", [](TAudioFile2& f) { f.SetRawFormat(1, 44100, 2, 16); }},
    };
    const QString keep = qEnvironmentVariable("BENCH_LONG_FILES_KEEP");
    if (!keep.isEmpty())
        QDir().mkpath(keep);
    for (LongFile& f : files)
        f.path = (keep.isEmpty() ? dir.path() : keep) + QString("/long%1h%2").arg(hours).arg(f.ext);
    const QStringList wanted =
        QString(argc > 2 ? argv[2] : "MP3,MP3CBR,WMA,OGG,WAV,RAW").toUpper().split(',');
    auto chosen = [&](const LongFile& f) { return wanted.contains(f.name); };
    // A kept file from an earlier run is measured again as it is.
    auto write = [&](LongFile& f) {
        if (!chosen(f) || (!keep.isEmpty() && QFileInfo::exists(f.path)))
            return;
        f.writeS = Write(f, seconds);
    };

    AppState state;
    FakePrompts prompts;
    FakeDisplay display;
    TAudioFile2 AudioFilepaly;
    TSkin skin{recorderskin::FallbackSkin()};
    NoActions actions;
    Tfm_list fm_list(state, ini, prompts, display, AudioFilepaly, skin, actions, nullptr);

    std::printf("%d-hour files, AddToList and seek to the middle (Seek + the first 4100 frames "
                "after it); cold = the file's pages dropped from the cache first, warm = median of "
                "5; target under 20 ms each\n",
                hours);
    // The process's first AddToList pays for what is set up once whatever the file: FFmpeg's
    // and the MP3 decoder's tables, the list's first row. Measured apart, on short files, so the
    // figures below are about the long files and their place in the page cache.
    {
        double ms[2] = {};
        for (int i = 0; i < 2; ++i) {
            LongFile shortFile = files[0];
            shortFile.path = dir.filePath(QString("short%1.mp3").arg(i));
            Write(shortFile, 1);
            fm_list.Clear();
            prompts.openAnswers.push_back({shortFile.path});
            QElapsedTimer t;
            t.start();
            fm_list.AddToList();
            ms[i] = t.nsecsElapsed() / 1e6;
            QFile::remove(shortFile.path);
        }
        std::printf("the process's first AddToList (a 1 s MP3): %.2f ms, set-up done once; the "
                    "next (another 1 s MP3): %.2f ms\n",
                    ms[0], ms[1]);
    }
    std::printf("format      size  written in   AddToList cold/warm ms   open ms   seek to "
                "middle cold/warm ms   length\n");
    bool ok = true;
    // The compressed files are written two at a time (OGG, the slowest, beside MP3 and WMA), and
    // measured once no writer runs; WAV and RAW one after the other, each deleted after its
    // figures, so at most one 6.4 GB file is on disk.
    auto measure = [&](LongFile& f) {
        const qint64 size = QFileInfo(f.path).size();
        auto addToList = [&] {
            fm_list.Clear();
            prompts.openAnswers.push_back({f.path});
            QElapsedTimer t;
            t.start();
            fm_list.AddToList();
            return t.nsecsElapsed() / 1e6;
        };
        DropCache(f.path);
        const double listCold = addToList();
        std::vector<double> listWarm;
        for (int i = 0; i < 5; ++i)
            listWarm.push_back(addToList());
        const bool listed = fm_list.Count() == 1 && prompts.messages.isEmpty();
        std::int64_t lengthMs = 0;

        auto seekMiddle = [&](double* openMs) {
            QElapsedTimer t;
            t.start();
            OpenForPlayback(AudioFilepaly, ini, f.path);
            if (openMs != nullptr)
                *openMs = t.nsecsElapsed() / 1e6;
            lengthMs = AudioFilepaly.GetDurationMs();
            const std::int64_t middle = AudioFilepaly.GetLengthSamples() / 2;
            t.restart();
            AudioFilepaly.Seek(middle, 0);
            const Block b = AudioFilepaly.ReadBlock(4100);
            const double ms = t.nsecsElapsed() / 1e6;
            AudioFilepaly.CloseFile();
            if (b.empty())
                ok = false;
            return ms;
        };
        DropCache(f.path);
        double openMs = 0;
        const double seekCold = seekMiddle(&openMs);
        std::vector<double> seekWarm;
        for (int i = 0; i < 5; ++i)
            seekWarm.push_back(seekMiddle(nullptr));
        const double listW = Median(listWarm), seekW = Median(seekWarm);
        ok = ok && listed && listCold < 20 && listW < 20 && seekCold < 20 && seekW < 20;
        std::printf("%-6s %7.2f GB  %7.1f s   %10.2f / %-8.2f    %8.2f   %10.2f / %-8.2f      %s\n",
                    f.name, size / 1e9, f.writeS, listCold, listW, openMs, seekCold, seekW,
                    listed ? qPrintable(FormatElapsed(lengthMs))
                           : qPrintable("NOT LISTED: " + prompts.messages.join(" | ")));
        std::fflush(stdout);
        if (keep.isEmpty())
            QFile::remove(f.path);
        prompts.messages.clear();
    };

    LongFile &mp3 = files[0], &cbr = files[1], &wav = files[2], &wma = files[3], &ogg = files[4],
             &raw = files[5];
    std::thread oggWriter([&] { write(ogg); });
    write(mp3);
    write(cbr);
    write(wma);
    oggWriter.join();
    for (LongFile* f : {&mp3, &cbr, &wma, &ogg})
        if (chosen(*f))
            measure(*f);
    for (LongFile* f : {&wav, &raw}) {
        write(*f);
        if (chosen(*f))
            measure(*f);
    }
    std::printf("%s\n", ok ? "all under 20 ms" : "SOME FIGURES MISSED THEIR TARGET");
    return ok ? 0 : 1;
}
