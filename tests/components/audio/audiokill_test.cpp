// A recording killed at any moment (SIGKILL) leaves a file that decodes: mid-way up to the last
// block, right after its creation as a file with a header, and during the stop (closing and
// tagging) to its full length without a gap.
#include "audiotestutil.h"
#include "inplacetags.h"
#include "oggcommentpages.h"
#include "taudiofile2.h"
#include "taudioinformation2.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string Shell(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

// ffprobe's duration of the file in seconds; "N/A" or "" when it has none or cannot open it.
std::string ProbedDuration(const std::string& path, const std::string& of = "format") {
    std::string d = Shell("ffprobe -v error -show_entries " + of + "=duration -of csv=p=0 '" +
                          path + "' 2>/dev/null");
    while (!d.empty() && (d.back() == '\n' || d.back() == '\r'))
        d.pop_back();
    return d;
}

// What ffmpeg complains about while decoding the whole file (empty when nothing).
std::string DecodeErrors(const std::string& path) {
    return Shell("ffmpeg -v error -i '" + path + "' -f null - 2>&1");
}

// Runs `work` in a child that is killed with SIGKILL `afterUs` microseconds after it reports
// ready through the descriptor it is given; with `afterUs` < 0 the child kills itself.
void KillDuring(const std::function<void(int readyFd)>& work, int afterUs) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        work(fds[1]);
        ::kill(::getpid(), SIGKILL);
        ::_exit(3);
    }
    ::close(fds[1]);
    char c;
    ASSERT_EQ(::read(fds[0], &c, 1), 1);
    ::close(fds[0]);
    if (afterUs >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(afterUs));
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

void Ready(int fd) {
    const char c = 1;
    (void)!::write(fd, &c, 1);
    ::close(fd);
}

TEST(AudioKill, KilledRecordingDecodesUpToTheLastBlock) {
    constexpr int kBlocks = 5;
    for (const FormatCase& fc : AllFormatCases()) {
        const std::string path = TempDir() + "/killed_" + fc.name + fc.ext;
        KillDuring(
            [&](int fd) {
                TAudioFile2 f;
                fc.configure(f);
                WriteTone(f, path, 10.0, 300, 0, kBlocks);
                Ready(fd);
                ::kill(::getpid(), SIGKILL);
            },
            -1);

        const std::int64_t need = static_cast<std::int64_t>(kBlocks - 1) * fc.rate * 3 / 10;
        TAudioFile2 r;
        fc.configure(r);
        r.OpenForRead(QString::fromStdString(path), 0, 1);
        EXPECT_GE(ReadAll(r).Frames(), need) << fc.name << " with our reader";
        EXPECT_GE(r.GetLengthSamples(), need) << fc.name;
        if (fc.ffmpegInput != "-") {
            EXPECT_GE(DecodeWithFfmpeg(path, fc.ffmpegInput).Frames(), need)
                << fc.name << " with ffmpeg";
        }
        if (fc.ext != ".raw") {
            // The header tells a length close to what is there (WMA's used to say nothing).
            const std::string d = ProbedDuration(path);
            ASSERT_FALSE(d.empty() || d == "N/A") << fc.name;
            EXPECT_NEAR(std::stod(d), kBlocks * 0.3, 0.25) << fc.name;
        }
    }
}

TEST(AudioKill, KilledRightAfterCreationLeavesAFileFfprobeOpens) {
    for (const FormatCase& fc : AllFormatCases()) {
        // RAW has no header by nature: an empty file. FFmpeg refuses an Ogg stream until it has
        // its first page of audio (written with the first block), whatever its headers say.
        if (fc.ext == ".raw" || fc.ext == ".OGG")
            continue;
        const std::string path = TempDir() + "/killed_new_" + fc.name + fc.ext;
        KillDuring(
            [&](int fd) {
                TAudioFile2 f;
                fc.configure(f);
                f.CreateForWrite(QString::fromStdString(path), 0);
                Ready(fd);
                ::kill(::getpid(), SIGKILL);
            },
            -1);
        const std::string streams = Shell("ffprobe -v error -show_entries stream=codec_type -of "
                                          "csv=p=0 '" +
                                          path + "' 2>/dev/null");
        EXPECT_EQ(streams, "audio\n") << fc.name;
        // FFmpeg gives a WAV whose data chunk is empty no duration at all, and an ASF file of
        // no length a duration of 0 for its stream only.
        const std::string d =
            fc.ext == ".wma" ? ProbedDuration(path, "stream") : ProbedDuration(path);
        if (fc.ext != ".wav") {
            ASSERT_FALSE(d.empty() || d == "N/A") << fc.name;
            EXPECT_LT(std::stod(d), 0.2) << fc.name;
        }
        EXPECT_EQ(DecodeErrors(path), "") << fc.name;
    }
}

TEST(AudioKill, KilledDuringTheStopDecodesToItsFullLengthWithoutAGap) {
    // The stop closes the file and writes the tags; a kill anywhere in it, tagging included,
    // must leave every block of the recording decodable with no damaged frame. The child tags
    // over and over so that many kill moments fall inside tagging.
    std::mt19937 random(7);
    for (const FormatCase& fc : AllFormatCases()) {
        if (fc.ext == ".raw" || (fc.name.find("wav_") == 0 && fc.name != "wav_16bit_44100"))
            continue;
        for (int round = 0; round < 4; ++round) {
            const std::string path =
                TempDir() + "/killed_stop_" + fc.name + std::to_string(round) + fc.ext;
            std::int64_t written = 0;
            const int delayUs = std::uniform_int_distribution<int>(0, 3000)(random);
            KillDuring(
                [&](int fd) {
                    TAudioFile2 f;
                    fc.configure(f);
                    WriteTone(f, path, 3.0);
                    Ready(fd);
                    f.CloseFile();
                    TAudioInformation2 t;
                    for (int i = 0;; ++i) {
                        t.Put("infoTitle", QString(i % 2 ? 2047 : 5, QChar(0x2602)));
                        t.Put("infoArtist", QString("Artist %1").arg(i));
                        t.WriteTags(QString::fromStdString(path));
                    }
                },
                delayUs);
            written = 3 * fc.rate;
            const std::string at =
                fc.name + " killed " + std::to_string(delayUs) + " us into the stop";
            EXPECT_EQ(DecodeErrors(path), "") << at;
            // All blocks were written before the stop began; the encoders may hold back at most
            // their look-ahead until they are closed.
            EXPECT_GE(DecodeWithFfmpeg(path).Frames(), written - fc.rate / 5) << at;
            TAudioFile2 r;
            fc.configure(r);
            r.OpenForRead(QString::fromStdString(path), 0, 1);
            EXPECT_GE(ReadAll(r).Frames(), written - fc.rate / 5) << at << " with our reader";
        }
    }
}

TEST(AudioKill, ATagRewriteCutOffAtAnyBlockLeavesAFileThatDecodes) {
    // A kill stops a write only between two aligned 4 KiB blocks of the file: the kernel copies
    // it into the page cache block by block. Every state a rewrite of the tags can leave (the
    // writes before it whole, the one under way up to each block boundary) decodes in full with
    // no complaint and keeps its room for the next tagging, for tags that grow from none to the
    // longest, shrink, grow again and move.
    const std::string longest = QString(2047, QChar(0x2602)).toStdString();
    const TagValues longValues{longest, "Artist", longest, longest, "Genre"};
    const TagValues shortValues{"Al", "Ar", "", "Ti", ""};
    // Long again, with every field after the first in another place.
    const TagValues movedValues{QString(1000, QChar(0x2602)).toStdString(), "Artist 2", longest,
                                longest, "Genre 2"};
    std::set<std::string> done;
    for (const FormatCase& fc : AllFormatCases()) {
        // One case of each format that keeps room for its tags.
        if ((fc.ext != ".mp3" && fc.ext != ".OGG" && fc.ext != ".wma") ||
            !done.insert(fc.ext).second)
            continue;
        const std::string path = TempDir() + "/torn_tags_" + fc.name + fc.ext;
        std::int64_t frames = 0;
        {
            TAudioFile2 f;
            fc.configure(f);
            frames = WriteTone(f, path, 1.0);
            f.CloseFile();
        }
        int states = 0;
        for (const TagValues* values : {&longValues, &shortValues, &longValues, &movedValues}) {
            std::string image = Slurp(path);
            std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> writes;
            ASSERT_TRUE(
                WriteTagsInPlace(path, *values,
                                 [&](std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
                                     writes.emplace_back(offset, bytes);
                                 }))
                << fc.name;
            ASSERT_FALSE(writes.empty()) << fc.name;
            for (const auto& [offset, bytes] : writes) {
                ASSERT_LE(offset + bytes.size(), image.size()) << fc.name;
                for (std::size_t done = 0; done < bytes.size();) {
                    const std::size_t next = std::min<std::size_t>(
                        bytes.size(), (offset + done) / 4096 * 4096 + 4096 - offset);
                    std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(done),
                              bytes.begin() + static_cast<std::ptrdiff_t>(next),
                              image.begin() + static_cast<std::ptrdiff_t>(offset + done));
                    done = next;
                    std::ofstream(path, std::ios::binary | std::ios::trunc) << image;
                    ++states;
                    const std::string at = fc.name + " cut at byte " +
                                           std::to_string(offset + done) + " of a write at " +
                                           std::to_string(offset);
                    EXPECT_EQ(DecodeErrors(path), "") << at;
                    TAudioFile2 r;
                    fc.configure(r);
                    r.OpenForRead(QString::fromStdString(path), 0, 1);
                    EXPECT_GE(ReadAll(r).Frames(), frames - fc.rate / 5) << at;
                    // libvorbis (through oggdec) refuses a comment packet whose fields run past
                    // its end, where FFmpeg only skips them.
                    // The next tagging still finds its room: TagLib would rewrite the file.
                    EXPECT_TRUE(WriteTagsInPlace(
                        path, shortValues, [](std::uint64_t, const std::vector<std::uint8_t>&) {}))
                        << at;
                    if (fc.ext == ".OGG") {
                        EXPECT_EQ(Shell("oggdec -Q -o /dev/null '" + path + "' 2>&1; echo $?"),
                                  "0\n")
                            << at;
                    }
                }
            }
        }
        RecordProperty(fc.name + "_states", states);
    }
}

TEST(AudioKill, EveryCommentPageKeepsItsChecksumAndBodyInOneBlock) {
    // Our recordings' comment packet starts right after the 58-byte identification page. Any
    // layout found, from any place in a block, must hold: every page read back by libogg, each
    // with its checksum and body in one block, and the packet whole.
    std::vector<std::pair<std::uint64_t, std::size_t>> cases;
    for (const std::size_t length :
         {std::size_t{1}, std::size_t{254}, std::size_t{255}, std::size_t{256}, std::size_t{4000},
          std::size_t{9000}, VorbisCommentRoomBytes()})
        cases.emplace_back(58, length);
    for (std::uint64_t start = 0; start < kTagBlockBytes; start += 37)
        cases.emplace_back(start, VorbisCommentRoomBytes());
    for (const auto& [start, length] : cases) {
        const std::vector<int> segments = CommentPageSegments(start, length);
        if (start == 58) {
            ASSERT_FALSE(segments.empty()) << length;
        }
        if (segments.empty())
            continue;
        {
            std::vector<std::uint8_t> packet(length);
            for (std::size_t i = 0; i < length; ++i)
                packet[i] = static_cast<std::uint8_t>(i * 7);
            const std::vector<std::uint8_t> pages = RenderCommentPages(packet, segments, 5, 0);
            // Read back with libogg: one packet, the same bytes, every page in one block.
            ogg_sync_state sync;
            ogg_sync_init(&sync);
            char* buffer = ogg_sync_buffer(&sync, static_cast<long>(pages.size()));
            std::copy(pages.begin(), pages.end(), buffer);
            ogg_sync_wrote(&sync, static_cast<long>(pages.size()));
            ogg_stream_state stream;
            ogg_stream_init(&stream, 5);
            ogg_page page;
            std::uint64_t at = start;
            int count = 0;
            while (ogg_sync_pageout(&sync, &page) == 1) {
                const std::size_t size = static_cast<std::size_t>(page.header_len + page.body_len);
                EXPECT_TRUE(PageInOneBlock(at, size)) << start << " " << length << " " << count;
                EXPECT_EQ(ogg_page_pageno(&page), count);
                at += size;
                ++count;
                ogg_stream_pagein(&stream, &page);
            }
            EXPECT_EQ(count, static_cast<int>(segments.size()));
            EXPECT_EQ(at, start + pages.size());
            ogg_packet out;
            const int got = ogg_stream_packetout(&stream, &out);
            EXPECT_EQ(got, 1) << start << " " << length;
            if (got == 1) {
                EXPECT_TRUE(
                    std::equal(packet.begin(), packet.end(), out.packet, out.packet + out.bytes));
            }
            ogg_stream_clear(&stream);
            ogg_sync_clear(&sync);
        }
    }
}

} // namespace
