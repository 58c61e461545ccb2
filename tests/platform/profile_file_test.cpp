#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct ReadCase {
    const char* bytes;
    const char* section;
    const char* key;
    const char* expected;
};

TEST(ProfileFileTest, ReadsAsTheWindowsFunctionsDo) {
    const ReadCase cases[] = {
        {"[InternetShortcut]\r\nURL=http://a/\r\n", "InternetShortcut", "URL", "http://a/"},
        {"[internetshortcut]\nurl=http://a/\n", "InternetShortcut", "URL", "http://a/"},
        {"  [ InternetShortcut ]\n  URL = http://a/  \n", "InternetShortcut", "URL", "http://a/"},
        {"[DEFAULT]\nBASEURL=http://b/\n[InternetShortcut]\nURL=http://a/\n", "InternetShortcut", "URL", "http://a/"},
        {"[InternetShortcut]\nURL=first\nURL=second\n[InternetShortcut]\nURL=third\n", "InternetShortcut", "URL",
         "first"},
        {"URL=outside\n[InternetShortcut]\nIconIndex=0\n", "InternetShortcut", "URL", "fallback"},
        {"[Other]\nURL=x\n", "InternetShortcut", "URL", "fallback"},
        {"[InternetShortcut]\nURL=\"quoted\"\n", "InternetShortcut", "URL", "quoted"},
        {"[InternetShortcut]\nURL=a=b=c\n", "InternetShortcut", "URL", "a=b=c"},
        {"[InternetShortcut]\rURL=cr only\r", "InternetShortcut", "URL", "cr only"},
        {"[InternetShortcut]\nURL=no line end", "InternetShortcut", "URL", "no line end"},
        {"", "InternetShortcut", "URL", "fallback"},
    };
    for (const ReadCase& c : cases) {
        ProfileFile file;
        file.Parse(c.bytes);
        EXPECT_EQ(file.GetString(c.section, c.key, "fallback"), c.expected) << c.bytes;
    }
}

TEST(ProfileFileTest, CutsValuesToTheBufferOnlyWhenAsked) {
    const std::string url = "http://example.com/" + std::string(600, 'x');
    ProfileFile file;
    file.Parse("[InternetShortcut]\r\nURL=" + url + "\r\n");
    EXPECT_EQ(file.GetString("InternetShortcut", "URL"), url.substr(0, 254));
    EXPECT_EQ(file.GetString("InternetShortcut", "URL", "", ProfileFile::kWholeValue), url);
}

struct WriteCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

TEST(ProfileFileTest, ChangesOnlyTheKeysLine) {
    const WriteCase cases[] = {
        {"new file gets CRLF", "", "InternetShortcut", "URL", "http://a/", "[InternetShortcut]\r\nURL=http://a/\r\n"},
        {"replaced in place, other bytes kept", "; note\n[InternetShortcut]\n  url = old\nIconIndex=1\n[X]\nA=1\n",
         "InternetShortcut", "URL", "new", "; note\n[InternetShortcut]\n  url =new\nIconIndex=1\n[X]\nA=1\n"},
        {"added after the section's last line, in the file's line end", "[InternetShortcut]\nURL=a\n\n[X]\nA=1\n",
         "InternetShortcut", "IconIndex", "0", "[InternetShortcut]\nURL=a\nIconIndex=0\n\n[X]\nA=1\n"},
        {"new section at the end", "[InternetShortcut]\r\nURL=a\r\n", "Tolva", "PreVfyName", "Old",
         "[InternetShortcut]\r\nURL=a\r\n[Tolva]\r\nPreVfyName=Old\r\n"},
        {"last line without a line end", "[InternetShortcut]\nURL=a", "Tolva", "PreVfyName", "Old",
         "[InternetShortcut]\nURL=a\n[Tolva]\nPreVfyName=Old\n"},
        {"key added to a section on the last line", "[X]\nA=1\n[Tolva]", "Tolva", "B", "2", "[X]\nA=1\n[Tolva]\nB=2\n"},
        {"line breaks in a value cannot forge lines", "", "Tolva", "PreVfyName", "a\r\n[InternetShortcut]\nURL=evil",
         "[Tolva]\r\nPreVfyName=a  [InternetShortcut] URL=evil\r\n"},
    };
    for (const WriteCase& c : cases) {
        ProfileFile file;
        file.Parse(c.before);
        file.SetString(c.section, c.key, c.value);
        EXPECT_EQ(file.Bytes(), c.after) << c.name;
    }
}

TEST(ProfileFileTest, SeveralKeysInOneLoadAndSave) {
    TempDir dir;
    const std::string path = dir.File("Home.url");
    const std::string original = "[DEFAULT]\nBASEURL=http://base/\n[InternetShortcut]\nurl=http://old/\nHotKey=0\n";
    WriteFile(path, original);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    ProfileFile file;
    ASSERT_TRUE(file.Load(path));
    EXPECT_TRUE(file.Existed());
    file.SetString("InternetShortcut", "URL", "http://new/");
    file.SetString("Tolva", "PreVfyName", "Home page");
    file.SetString("Tolva", "PreVfyLocation", "\\Work");
    ASSERT_TRUE(file.Save(path));
    EXPECT_EQ(ReadFile(path),
              "[DEFAULT]\nBASEURL=http://base/\n[InternetShortcut]\nurl=http://new/\nHotKey=0\n[Tolva]\n"
              "PreVfyName=Home page\nPreVfyLocation=\\Work\n");
    // Replaced whole, keeping its permissions and leaving no temporary file behind.
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    ProfileFile reread;
    ASSERT_TRUE(reread.Load(path));
    EXPECT_EQ(reread.GetString("tolva", "prevfylocation"), "\\Work");
    EXPECT_FALSE(reread.Changed());
}

TEST(ProfileFileTest, MissingFileLoadsEmptyAndSaveCreatesIt) {
    TempDir dir;
    ProfileFile file;
    ASSERT_TRUE(file.Load(dir.File("new.url")));
    EXPECT_FALSE(file.Existed());
    file.SetString("InternetShortcut", "URL", "http://a/");
    ASSERT_TRUE(file.Save(dir.File("new.url")));
    EXPECT_EQ(ReadFile(dir.File("new.url")), "[InternetShortcut]\r\nURL=http://a/\r\n");
    EXPECT_FALSE(file.Load(dir.File("no folder/x.url")) && file.Save(dir.File("no folder/x.url")));
}

TEST(ProfileFileTest, NeverWritesThroughASymbolicLink) {
    TempDir dir;
    const std::string target = dir.File("target.txt");
    WriteFile(target, "keep");
    ASSERT_EQ(::symlink(target.c_str(), dir.File("link.url").c_str()), 0);
    ProfileFile file;
    EXPECT_FALSE(file.Load(dir.File("link.url")));
    file.SetString("InternetShortcut", "URL", "http://a/");
    EXPECT_FALSE(file.Save(dir.File("link.url")));
    EXPECT_EQ(ReadFile(target), "keep");
}

}  // namespace
}  // namespace tolva
