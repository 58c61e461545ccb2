// Saving over an existing set must leave the old content or the new, never a mixture,
// whatever write fails.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "formats/set_storage.h"
#include "model/url_set.h"
#include "support/failing_file.h"
#include "support/recording.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::FailingFiles;
using testing::FileFaults;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::Tree;
using testing::WriteFile;

const char kOriginal[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<Title>Ann's Bookmarks</Title>\r\n<H1>Ann's Bookmarks</H1>\r\n"
    "<DL><p>\r\n<DT><H3>Work</H3>\r\n<DL><p>\r\n<DT><A HREF=\"http://a/\">A</A>\r\n</DL><p>\r\n"
    "<DT><A HREF=\"http://b/\">B</A>\r\n</DL><p>\r\n";

// Reads path, renames its first link and saves it back with writes failing as faults say.
int RenameAndSave(const std::string& path, const std::shared_ptr<FileFaults>& faults, RecordingPrompter& prompter) {
    UrlSet set;
    SetStorage storage{set};
    set.SetPrompter(&prompter);
    if (!storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, path) || !storage.Read(nullptr)) return -1;
    set.Rewind();
    while (UrlEntry* entry = set.Next()) {
        if (entry->kind == UrlEntryKind::Link) {
            entry->Rename("Renamed", ChangedByVerification);
            break;
        }
    }
    storage.SetFileFactory(FailingFiles(faults));
    int result = storage.Write();
    storage.Close();
    return result;
}

TEST(SafeSaveTest, EveryFailedWriteLeavesTheOriginalWholeAndNoTemporaryFile) {
    TempDir dir;
    std::string path = dir.File("bookmarks.html");
    int lastFailing = 0;
    for (int failAt = 1; failAt < 100; ++failAt) {
        WriteFile(path, kOriginal);
        // Fails the failAt-th write (counting from 1) and the ones after it.
        auto faults = std::make_shared<FileFaults>(FileFaults{.goodWrites = failAt - 1});
        RecordingPrompter prompter;
        int result = RenameAndSave(path, faults, prompter);
        ASSERT_NE(result, -1);
        if (faults->writes < failAt) {
            // The save made fewer writes than failAt: it must have succeeded.
            EXPECT_EQ(result, 1);
            EXPECT_NE(ReadFile(path).find(">Renamed</A>"), std::string::npos);
            break;
        }
        lastFailing = failAt;
        EXPECT_EQ(result, 0) << "write " << failAt;
        EXPECT_EQ(ReadFile(path), kOriginal) << "write " << failAt;
        EXPECT_FALSE(prompter.shown.empty()) << "write " << failAt;
        EXPECT_EQ(Tree(dir.Path()), std::vector<std::string>{"bookmarks.html"}) << "write " << failAt;
    }
    EXPECT_GE(lastFailing, 1);
}

TEST(SafeSaveTest, SavingThroughASymbolicLinkKeepsTheLinkAndThePermissions) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "real");
    std::string target = dir.File("real/bookmarks.html");
    WriteFile(target, kOriginal);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::string link = dir.File("link.html");
    std::filesystem::create_symlink(target, link);

    RecordingPrompter prompter;
    ASSERT_EQ(RenameAndSave(link, std::make_shared<FileFaults>(), prompter), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ReadFile(target).find(">Renamed</A>"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Tree(dir.Path() / "real"), std::vector<std::string>{"bookmarks.html"});
    EXPECT_TRUE(prompter.shown.empty());
}

}  // namespace
}  // namespace tolva
