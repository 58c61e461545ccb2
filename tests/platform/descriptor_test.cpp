#include "platform/descriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(DescriptorTest, ReadToEndAppendsAFileLongerThanOneReadBlock) {
    TempDir dir;
    std::string content;
    for (int i = 0; content.size() < 40000; ++i) content += std::to_string(i) + "\n";
    WriteFile(dir.File("long.txt"), content);
    Descriptor fd(::open(dir.File("long.txt").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.Valid());
    std::string bytes = "before:";
    ASSERT_TRUE(ReadToEnd(fd.Get(), bytes));
    EXPECT_EQ(bytes, "before:" + content);
}

}  // namespace
}  // namespace tolva
