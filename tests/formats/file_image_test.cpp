#include "formats/file_image.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::TempDir;
using testing::WriteFile;

class FileImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.File("set.html");
        WriteFile(path, std::string(3 * 4096 + 100, 'x'));
        ASSERT_TRUE(file.OpenExisting(path));
    }

    TempDir dir;
    std::string path;
    File file;
};

TEST_F(FileImageTest, CopyKeepsBytesAlreadyReadAheadAndReadsOnToTheEnd) {
    char ahead[10];
    ASSERT_EQ(file.Read(ahead, sizeof ahead), 10);
    FileImage copy;
    ASSERT_TRUE(copy.Load("read ahead", file));
    EXPECT_EQ(copy.Text().size(), 3u * 4096 + 100);
    EXPECT_EQ(copy.Text().substr(0, 12), "read aheadxx");
}

}  // namespace
}  // namespace tolva
