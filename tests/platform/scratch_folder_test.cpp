#include "platform/scratch_folder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFile;

// Points $TMPDIR, where scratch folders go, at a folder of the test's own.
class ScratchFolderTest : public ::testing::Test {
protected:
    ScratchFolderTest() { ::setenv("TMPDIR", dir_.Path().c_str(), 1); }
    ~ScratchFolderTest() override { ::unsetenv("TMPDIR"); }

    bool Empty() const { return fs::is_empty(dir_.Path()); }

    TempDir dir_;
};

// A child process makes a scratch folder with a copy in it and waits to be stopped.
TEST_F(ScratchFolderTest, StopSignalRemovesTheCopyAndStillEndsTheProcess) {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ScratchFolder scratch("places", {"places.sqlite", "places.sqlite-wal"});
            WriteFile((scratch.Path() / "places.sqlite").string(), "history");
            WriteFile((scratch.Path() / "places.sqlite-wal").string(), "log");
            const char byte = scratch.Path().empty() ? 'n' : 'y';
            if (::write(ready[1], &byte, 1) != 1) ::_exit(3);
            ::pause();
            ::_exit(4);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        EXPECT_EQ(byte, 'y');
        EXPECT_FALSE(Empty());
        ::kill(child, signalNumber);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << "signal " << signalNumber;
        EXPECT_TRUE(Empty()) << "signal " << signalNumber;
    }
}

TEST_F(ScratchFolderTest, FoldersOfEndedProcessesAreClearedAndOthersKept) {
    const pid_t ended = ::fork();
    ASSERT_GE(ended, 0);
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string killed = "tolva-places-" + std::to_string(ended) + "-a1B2c3";
    const std::string running = "tolva-places-" + std::to_string(::getppid()) + "-a1B2c3";
    const std::string notOurs = "tolva-test-" + std::to_string(ended);
    for (const std::string& name : {killed, running, notOurs}) {
        fs::create_directory(dir_.Path() / name);
        WriteFile((dir_.Path() / name / "places.sqlite").string(), "history");
    }

    {
        ScratchFolder scratch("places", {});
        EXPECT_FALSE(scratch.Path().empty());
    }

    EXPECT_FALSE(fs::exists(dir_.Path() / killed));
    EXPECT_TRUE(fs::exists(dir_.Path() / running / "places.sqlite"));
    EXPECT_TRUE(fs::exists(dir_.Path() / notOurs / "places.sqlite"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace tolva
