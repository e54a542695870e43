// A recording killed mid-way (SIGKILL after N blocks) leaves a file that decodes to at least
// N - 1 blocks, in every format.
#include "audiotestutil.h"
#include "taudiofile2.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(AudioKill, KilledRecordingDecodesUpToTheLastBlock) {
    constexpr int kBlocks = 5;
    for (const FormatCase& fc : AllFormatCases()) {
        const std::string path = TempDir() + "/killed_" + fc.name + fc.ext;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TAudioFile2 f;
            fc.configure(f);
            WriteTone(f, path, 10.0, 300, 0, kBlocks);
            ::kill(::getpid(), SIGKILL);
            ::_exit(3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << fc.name;

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
    }
}

} // namespace
