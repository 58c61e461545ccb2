#include "platform/atomic_replace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <iterator>

#include "platform/descriptor.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::ptrdiff_t EntriesIn(const std::filesystem::path& folder) {
    return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
}

TEST(AtomicReplaceTest, FailedRenameLeavesTheTargetAndNoTemporary) {
    TempDir dir;
    // A folder cannot be replaced by a file: everything succeeds but the rename.
    std::filesystem::create_directory(dir.Path() / "target");
    WriteFile(dir.File("target/inside"), "keep");
    errno = 0;
    EXPECT_FALSE(ReplaceFile(AT_FDCWD, dir.File("target"), "new"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(ReadFile(dir.File("target/inside")), "keep");
    EXPECT_EQ(EntriesIn(dir.Path()), 1);
}

TEST(AtomicReplaceTest, MissingFileIsCreatedPrivateInTheFolderGiven) {
    TempDir dir;
    Descriptor folder(::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folder.Valid());
    ASSERT_TRUE(ReplaceFile(folder.Get(), "new.reg", "bytes"));
    EXPECT_EQ(ReadFile(dir.File("new.reg")), "bytes");
    struct stat info {};
    ASSERT_EQ(::stat(dir.File("new.reg").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(EntriesIn(dir.Path()), 1);
}

TEST(AtomicReplaceTest, LeftoversOfEndedProcessesGoAndOthersStay) {
    TempDir dir;
    // No process gets a number this high, so its maker has ended; the parent is running.
    const std::string ended = ".links.html.tolva-999999999-0";
    const std::string running = ".links.html.tolva-" + std::to_string(::getppid()) + "-0";
    const std::string otherFile = ".other.html.tolva-999999999-3";
    for (const std::string& name : {ended, running, otherFile, std::string("links.html")})
        WriteFile(dir.File(name), "x");

    RemoveLeftoverTemporaries(AT_FDCWD, dir.File("links.html"));
    EXPECT_EQ(testing::Tree(dir.Path()), (std::vector<std::string>{running, otherFile, "links.html"}));
    Descriptor folder(::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    RemoveLeftoverTemporaries(folder.Get(), "");
    EXPECT_EQ(testing::Tree(dir.Path()), (std::vector<std::string>{running, "links.html"}));
}

// As root, a report to /dev/null replaced the device node with a regular file. A pipe stands in
// for a device here: it too must be written into, and stay what it was.
TEST(AtomicReplaceTest, PipeIsWrittenInPlaceNeverReplaced) {
    TempDir dir;
    const std::string pipe = dir.File("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    Descriptor reader(::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(reader.Valid());
    ASSERT_TRUE(ReplaceFile(AT_FDCWD, pipe, "report"));
    std::string received;
    ASSERT_TRUE(ReadToEnd(reader.Get(), received));
    EXPECT_EQ(received, "report");

    // With nobody reading, the pipe is refused rather than waited on.
    reader.Reset();
    errno = 0;
    EXPECT_FALSE(ReplaceFile(AT_FDCWD, pipe, "again"));
    EXPECT_EQ(errno, ENXIO);
    struct stat info {};
    ASSERT_EQ(::lstat(pipe.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(EntriesIn(dir.Path()), 1);
}

}  // namespace
}  // namespace tolva
