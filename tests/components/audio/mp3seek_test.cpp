// Seeking in MP3 recordings through the frame index in their ID3v2 tag: the frame a seek lands
// on, an index that no longer fits the file, and the index surviving the tags.
#include "audiotestutil.h"
#include "mp3frameindex.h"
#include "tagroom.h"
#include "taudiofile2.h"
#include "taudioinformation2.h"

#include <QString>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>

namespace {

// A rising sweep with a different level in each channel: unlike a steady tone, no two stretches
// of it look alike, so a seek that lands a frame or a few samples off cannot pass.
std::int64_t WriteSweep(TAudioFile2& w, const std::string& path, double seconds) {
    w.CreateForWrite(QString::fromStdString(path), 0);
    const auto f = PcmFormat::FromHandle(w.GetFormatHandle(), w.GetFormatParam());
    const std::int64_t total = static_cast<std::int64_t>(seconds * f->rate);
    const double top = f->rate / 5.0;
    Block block;
    for (std::int64_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / f->rate;
        const double hz = 100 + (top - 100) * t / seconds;
        const double v = std::sin(2 * M_PI * hz * t / 2) * (0.3 + 0.2 * std::sin(t * 3));
        for (int c = 0; c < f->channels; ++c) {
            const auto s = static_cast<std::int16_t>(v * (c == 0 ? 20000 : 12000));
            block.push_back(static_cast<std::uint8_t>(s & 0xff));
            block.push_back(static_cast<std::uint8_t>((s >> 8) & 0xff));
        }
        if (block.size() >= 65537 || i + 1 == total) { // blocks that split frames
            w.WriteBlock(block);
            block.clear();
        }
    }
    w.CloseFile();
    return total;
}

bool ReadIndex(const std::string& path, Mp3FrameIndex& index) {
    const std::string head = Slurp(path).substr(0, 20 + Mp3IndexFrameBytes());
    return FindMp3FrameIndex(reinterpret_cast<const std::uint8_t*>(head.data()), head.size(),
                             index);
}

// Seeks to each target and compares what follows with the straight read `all`.
void ExpectExactSeeks(const std::string& path, const std::vector<std::int64_t>& targets,
                      const std::string& what) {
    TAudioFile2 r;
    r.OpenForRead(QString::fromStdString(path), 0, 1);
    const Decoded all = ReadAll(r);
    ASSERT_GT(all.Frames(), 0) << what;
    const int ch = all.channels;
    for (const std::int64_t target : targets) {
        if (target >= all.Frames())
            continue;
        r.Seek(target, 3);
        const Block b = r.ReadBlock(1500);
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::int64_t>(1500, all.Frames() - target));
        ASSERT_EQ(b.size(), want * 2 * ch) << what << ": seek to " << target;
        std::size_t firstDiff = want;
        for (std::size_t i = 0; i < want * ch && firstDiff == want; ++i) {
            const auto s = static_cast<std::int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
            if (s != all.samples[static_cast<std::size_t>(target * ch) + i])
                firstDiff = i / ch;
        }
        EXPECT_EQ(firstDiff, want) << what << ": seek to " << target << " differs from frame "
                                   << target + static_cast<std::int64_t>(firstDiff);
    }
}

// Targets around the first samples of MPEG frames and of index entries, and between.
std::vector<std::int64_t> Targets(const Mp3FrameIndex& index, int samplesPerFrame) {
    const int skip = 576 + 529; // LAME's encoder delay and the decoder's
    std::vector<std::int64_t> t = {1, 47, 48, 1000};
    for (std::uint64_t q = index.stride; q + 1 < index.frames; q += index.stride * 3 + 5) {
        const std::int64_t first = (static_cast<std::int64_t>(q) - 1) * samplesPerFrame - skip;
        for (const std::int64_t d : {-1, 0, 1, samplesPerFrame / 2})
            t.push_back(first + d);
    }
    return t;
}

struct Mp3Case {
    const char* name;
    Mp3EncoderSettings settings;
    double seconds;
};

std::vector<Mp3Case> Cases() {
    Mp3EncoderSettings cbr;
    cbr.bitrate = 128;
    cbr.quality = 7;
    Mp3EncoderSettings vbr = cbr;
    vbr.vbr = true;
    vbr.vbrBitrate = 128;
    vbr.vbrQuality = 5;
    Mp3EncoderSettings mpeg2 = vbr; // 576 samples per frame
    mpeg2.sampleRate = 22050;
    mpeg2.channelMode = 1;
    mpeg2.vbrBitrate = 64;
    return {{"cbr", cbr, 40}, {"vbr", vbr, 40}, {"mpeg2_mono_vbr", mpeg2, 30}};
}

// 20 s of the VBR sweep with an index of at most eight entries.
void WriteSparselyIndexedVbr(const std::string& path) {
    TAudioFile2 w;
    w.SetMp3Encoder(Cases()[1].settings);
    w.SetMp3IndexEntriesForTesting(8);
    WriteSweep(w, path, 20);
}

TEST(Mp3Seek, LandsOnTheExactSampleThroughASparseIndex) {
    for (const Mp3Case& c : Cases()) {
        const std::string path = TempDir() + "/seek_" + c.name + ".mp3";
        TAudioFile2 w;
        w.SetMp3Encoder(c.settings);
        // Eight entries for about 1700 frames: the index is thinned out as in a 10-hour file,
        // so most seeks walk from an entry to their frame.
        w.SetMp3IndexEntriesForTesting(8);
        WriteSweep(w, path, c.seconds);
        Mp3FrameIndex index;
        ASSERT_TRUE(ReadIndex(path, index)) << c.name;
        EXPECT_GE(index.stride, 64u) << c.name;
        EXPECT_LE(index.offsets.size(), 8u) << c.name;
        const int spf = c.settings.sampleRate < 32000 ? 576 : 1152;
        EXPECT_EQ(index.bytes, Slurp(path).size() - Id3RoomBytes()) << c.name;
        ExpectExactSeeks(path, Targets(index, spf), c.name);
    }
}

TEST(Mp3Seek, AnIndexThatDoesNotFitTheFileIsNotUsed) {
    const std::string path = TempDir() + "/stale.mp3";
    WriteSparselyIndexedVbr(path);
    Mp3FrameIndex index;
    ASSERT_TRUE(ReadIndex(path, index));
    const std::vector<std::int64_t> targets = Targets(index, 1152);
    const std::string good = Slurp(path);
    // The index frame's body starts after the tag's header and its own; the entries follow
    // magic, stride, entries, frames and bytes.
    const std::size_t body = 20, entry3 = body + 24 + 4 * 3;
    auto be32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | static_cast<std::uint8_t>(good[at + i]);
        return v;
    };
    auto patched = [&](std::size_t at, std::uint32_t value) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    };
    // An entry a byte off, where no frame starts.
    patched(entry3, be32(entry3) + 1);
    ExpectExactSeeks(path, targets, "entry a byte off");
    // A count of frames that is not the info frame's.
    patched(body + 12, be32(body + 12) + 1);
    ExpectExactSeeks(path, targets, "frame count");
    // An entry a whole frame late: a frame header is there, but the walk from it to the next
    // entry comes up a frame short.
    const std::size_t at = Id3RoomBytes() + be32(entry3);
    patched(entry3, be32(entry3) + static_cast<std::uint32_t>(Mp3FrameLength(
                                       reinterpret_cast<const std::uint8_t*>(good.data() + at))));
    ExpectExactSeeks(path, targets, "entry a frame off");
}

TEST(Mp3Seek, TheIndexSurvivesTheTagsAndAKilledRecordingHasNone) {
    const Mp3Case c = Cases()[1];
    const std::string path = TempDir() + "/tagged.mp3";
    WriteSparselyIndexedVbr(path);
    Mp3FrameIndex before, after;
    ASSERT_TRUE(ReadIndex(path, before));
    TAudioInformation2 t;
    t.Put("infoTitle", "A title");
    t.Put("infoComments", "A comment");
    ASSERT_NO_THROW(t.WriteTags(QString::fromStdString(path)));
    ASSERT_TRUE(ReadIndex(path, after));
    EXPECT_EQ(after.offsets, before.offsets);
    ExpectExactSeeks(path, Targets(after, 1152), "tagged");

    // Still being written: the tag holds an index without entries, which says nothing.
    TAudioFile2 writing;
    writing.SetMp3Encoder(c.settings);
    writing.CreateForWrite(QString::fromStdString(TempDir() + "/open.mp3"), 0);
    writing.WriteBlock(Block(44100 * 4, 0));
    Mp3FrameIndex none;
    EXPECT_FALSE(ReadIndex(TempDir() + "/open.mp3", none));
    writing.CloseFile();
    EXPECT_TRUE(ReadIndex(TempDir() + "/open.mp3", none));
}

TEST(Mp3Seek, TheIndexIsTheSameWhateverPiecesTheStreamArrivesIn) {
    // Three frames of a 128 kbit/s 44.1 kHz stream (417 or 418 bytes) and a 320 kbit/s one.
    std::vector<std::uint8_t> stream;
    const std::uint8_t headers[][4] = {
        {0xff, 0xfb, 0x90, 0x64}, {0xff, 0xfb, 0x92, 0x64}, {0xff, 0xfb, 0xe0, 0x64}};
    for (int i = 0; i < 40; ++i) {
        const std::uint8_t* h = headers[i % 3];
        const std::size_t at = stream.size();
        stream.resize(at + Mp3FrameLength(h), 0x55);
        std::copy(h, h + 4, stream.begin() + static_cast<std::ptrdiff_t>(at));
    }
    Mp3FrameIndexer whole(4);
    whole.Feed(stream.data(), stream.size());
    EXPECT_EQ(whole.Frames(), 40u);
    const std::vector<std::uint8_t> expected = whole.Render();
    Mp3FrameIndex index;
    ASSERT_TRUE(index.Parse(expected.data() + 10, expected.size() - 10));
    EXPECT_EQ(index.stride, 16u); // 40 frames in 4 entries: 0, 16, 32
    EXPECT_EQ(index.offsets.size(), 3u);
    EXPECT_EQ(index.bytes, stream.size());
    for (const std::size_t piece : {1, 2, 3, 5, 417}) {
        Mp3FrameIndexer split(4);
        for (std::size_t at = 0; at < stream.size(); at += piece)
            split.Feed(stream.data() + at, std::min(piece, stream.size() - at));
        EXPECT_EQ(split.Render(), expected) << "pieces of " << piece;
    }
    // Bytes that are not frames, or a frame cut short, leave the index without entries.
    Mp3FrameIndexer cut(4);
    cut.Feed(stream.data(), stream.size() - 1);
    Mp3FrameIndexer junk(4);
    junk.Feed(stream.data(), 500);
    junk.Feed(stream.data(), 10);
    for (Mp3FrameIndexer* bad : {&cut, &junk}) {
        const std::vector<std::uint8_t> frame = bad->Render();
        EXPECT_EQ(frame.size(), expected.size());
        EXPECT_FALSE(index.Parse(frame.data() + 10, frame.size() - 10));
    }
}

} // namespace

TEST(Mp3Seek, ARecordingOpensWhateverItsNameAndWhileStillBeingWritten) {
    // The tag with the index is larger than the reader's format probe looks at; the frames
    // after it, not the name, must tell that the file is an MP3.
    const Mp3Case c = Cases()[1];
    const std::string path = TempDir() + "/named.mp3";
    TAudioFile2 w;
    w.SetMp3Encoder(c.settings);
    const std::int64_t written = WriteSweep(w, path, 3);
    TAudioFile2 writing;
    writing.SetMp3Encoder(c.settings);
    writing.CreateForWrite(QString::fromStdString(TempDir() + "/unfinished.mp3"), 0);
    writing.WriteBlock(Block(44100 * 4 * 2, 0));
    const std::string finished = Slurp(path), unfinished = Slurp(TempDir() + "/unfinished.mp3");
    ASSERT_GT(finished.size(), Mp3IndexFrameBytes());
    for (const std::string* bytes : {&finished, &unfinished}) {
        const std::string renamed = TempDir() + "/take one";
        std::ofstream(renamed, std::ios::binary | std::ios::trunc) << *bytes;
        TAudioFile2 r;
        ASSERT_NO_THROW(r.OpenForRead(QString::fromStdString(renamed), 0, 1));
        EXPECT_EQ(r.GetSampleRate(), 44100);
        if (bytes == &finished)
            EXPECT_EQ(r.GetLengthSamples(), written);
        else
            EXPECT_GT(r.GetLengthSamples(), 44100);
        EXPECT_FALSE(r.ReadBlock(1000).empty());
    }
    writing.CloseFile();
}
