// Failures: every one raises ComponentError with a message naming the file and the cause, and
// none leaves a crash or a half-made file behind.
#include "audiotestutil.h"
#include "componenterror.h"
#include "taudiofile2.h"

#include <QFile>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace {

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ComponentError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(AudioErrors, CreateAndOpenNameTheFileAndTheCause) {
    TAudioFile2 f;
    Mp3EncoderSettings s;
    f.SetMp3Encoder(s);
    EXPECT_EQ(MessageOf([&] { f.CreateForWrite("/nonexistent/x/y.mp3", 0); }),
              "Cannot create '/nonexistent/x/y.mp3': No such file or directory");
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(MessageOf([&] { f.OpenForRead("/nonexistent/x/y.ogg", 0, 1); }),
              "Cannot open '/nonexistent/x/y.ogg': No such file or directory");
    const std::string text = TempDir() + "/notes.ogg";
    std::ofstream(text) << "these are not the sounds you are looking for\n";
    EXPECT_EQ(MessageOf([&] { f.OpenForRead(QString::fromStdString(text), 0, 1); }),
              "Cannot open '" + text + "': not an audio file we can read");
    EXPECT_FALSE(f.IsOpen());
    EXPECT_NE(MessageOf([&] { f.ReadBlock(4100); }), "(no error)");
    EXPECT_NE(MessageOf([&] { f.WriteBlock(Block(4)); }), "(no error)");
}

TEST(AudioErrors, WmaLosslessAndUnknownRawCodecsAreRefusedBeforeAnyFileExists) {
    const std::string path = TempDir() + "/lossless.wma";
    TAudioFile2 f;
    f.SetWmaFormat(47);
    EXPECT_EQ(MessageOf([&] { f.CreateForWrite(QString::fromStdString(path), 0); }),
              "WMA Lossless is not available here; choose WAV for lossless recording.");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    for (int codec : {0, 7, -1}) {
        const std::string raw = TempDir() + "/bad" + std::to_string(codec) + ".raw";
        f.SetRawFormat(codec, 44100, 2, 16);
        const std::string msg =
            MessageOf([&] { f.CreateForWrite(QString::fromStdString(raw), 0); });
        EXPECT_NE(msg.find("Cannot create '" + raw + "': RAW codec " + std::to_string(codec) +
                           " is unknown"),
                  std::string::npos)
            << msg;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(raw)));
    }
    f.SetRawFormat(1, 44100, 2, 12);
    EXPECT_NE(MessageOf([&] {
                  f.CreateForWrite(QString::fromStdString(TempDir() + "/b.raw"), 0);
              }).find("12 bits"),
              std::string::npos);
    f.SetPcmFormat(44100, 2, 24);
    EXPECT_NE(MessageOf([&] {
                  f.CreateForWrite(QString::fromStdString(TempDir() + "/b.wav"), 0);
              }).find("24 bits"),
              std::string::npos);
}

TEST(AudioErrors, FullDiskIsReportedForEveryFormat) {
    for (const FormatCase& fc : AllFormatCases()) {
        TAudioFile2 f;
        fc.configure(f);
        const std::string msg = MessageOf([&] { WriteTone(f, "/dev/full", 1.0); });
        EXPECT_EQ(msg, "Cannot write '/dev/full': No space left on device") << fc.name;
        EXPECT_NO_THROW(f.CloseFile()) << fc.name;
        EXPECT_FALSE(f.IsOpen());
    }
}

// Truncated and mutated copies of valid files: a clear error or a decode, never a crash.
TEST(AudioErrors, DamagedFilesNeverCrashTheReader) {
    std::mt19937 rng(1234);
    for (const FormatCase& fc : AllFormatCases()) {
        const std::string good = TempDir() + "/good_" + fc.name + fc.ext;
        TAudioFile2 w;
        fc.configure(w);
        WriteTone(w, good, 0.7);
        w.CloseFile();
        const std::string bytes = Slurp(good);
        for (int round = 0; round < 12; ++round) {
            std::string bad = bytes;
            if (round < 4) {
                bad.resize(bytes.size() * static_cast<std::size_t>(round) / 4 + round * 7);
            } else {
                const int flips = 1 + round * 3;
                for (int k = 0; k < flips && !bad.empty(); ++k)
                    bad[rng() % (round % 2 ? std::min<std::size_t>(bad.size(), 200) : bad.size())] =
                        static_cast<char>(rng());
            }
            const std::string path = TempDir() + "/bad_" + fc.name + fc.ext;
            std::ofstream(path, std::ios::binary) << bad;
            TAudioFile2 r;
            fc.configure(r);
            try {
                r.OpenForRead(QString::fromStdString(path), 0, 1);
                (void)r.GetDurationMs();
                (void)r.GetBitRate();
                r.Seek(r.GetLengthSamples() / 2, 3);
                r.ReadBlock(4100);
                r.Seek(0, 3);
                for (int i = 0; i < 1000 && !r.ReadBlock(4100).empty(); ++i) {
                }
            } catch (const ComponentError& e) {
                EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            }
        }
    }
}

} // namespace
