#include "formats/file_image.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "formats/format.h"
#include "platform/file.h"
#include "support/failing_file.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::FileFaults;
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

TEST(ArrivingImageTest, LinesOfAnImageStillLoadingAreThoseOfTheWholeText) {
    TempDir dir;
    const std::string path = dir.File("set.html");
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "<DT><A HREF=\"http://h/" + std::to_string(i) + "\">n</A>\r\n\n\r";
    text += std::string("x\0y\r", 4);
    WriteFile(path, text);
    const auto lines = [](LineScanner scanner) {
        std::vector<std::string> out;
        for (std::string_view line;;) {
            out.push_back(std::to_string(scanner.SkipEmptyLines()));
            if (!scanner.Next(line)) break;
            out.emplace_back(line);
        }
        return out;
    };
    // At most three bytes a read, so the load arrives in many small parts: lines, CRLFs and
    // runs of empty lines are cut between them.
    FileFaults pieces;
    pieces.readPiece = 3;
    testing::FailingFile file(std::make_shared<FileFaults>(pieces));
    ASSERT_TRUE(file.OpenExisting(path));
    FileImage image;
    ASSERT_TRUE(image.StartLoad(file));
    EXPECT_EQ(lines(LineScanner(image)), lines(LineScanner(text)));
    EXPECT_TRUE(image.Finish());
    EXPECT_EQ(image.Text(), text);
}

TEST(ArrivingImageTest, AReadErrorPartWayFailsTheLoad) {
    TempDir dir;
    const std::string path = dir.File("set.html");
    WriteFile(path, std::string(3 * 1024 * 1024, 'x'));
    testing::FileFaults faults;
    faults.goodReads = 2;
    testing::FailingFile file(std::make_shared<testing::FileFaults>(faults));
    ASSERT_TRUE(file.OpenExisting(path));
    FileImage image;
    ASSERT_TRUE(image.StartLoad(file));
    EXPECT_FALSE(image.Finish());
    EXPECT_LT(image.Text().size(), 3u * 1024 * 1024);
}

}  // namespace
}  // namespace tolva
