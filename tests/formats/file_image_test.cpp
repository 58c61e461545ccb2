#include "formats/file_image.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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

TEST_F(FileImageTest, MappedBytesTheFileLosesReadAsZerosAndTheImageIsNoLongerIntact) {
    FileImage image;
    ASSERT_TRUE(image.Map(file.Descriptor(), path));
    ASSERT_EQ(image.Text().size(), 3u * 4096 + 100);
    EXPECT_TRUE(image.Intact());
    EXPECT_EQ(image.Text()[5000], 'x');

    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    // Without the guard this access would end the process with SIGBUS.
    EXPECT_EQ(image.Text()[3 * 4096 + 50], '\0');
    EXPECT_EQ(image.Text()[4096], '\0');
    EXPECT_FALSE(image.Intact());
}

TEST_F(FileImageTest, RewritingTheFileInPlaceIsNoticedButACopyIsUnaffected) {
    FileImage mapped;
    FileImage copy;
    ASSERT_TRUE(mapped.Map(file.Descriptor(), path));
    ASSERT_TRUE(copy.Load({}, file));
    ASSERT_EQ(copy.Text(), mapped.Text());

    const int writer = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::pwrite(writer, "yyyy", 4, 0), 4);
    ::close(writer);
    EXPECT_EQ(mapped.Text().substr(0, 4), "yyyy");
    EXPECT_FALSE(mapped.Intact());
    EXPECT_EQ(copy.Text().substr(0, 4), "xxxx");
    EXPECT_TRUE(copy.Intact());
}

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
