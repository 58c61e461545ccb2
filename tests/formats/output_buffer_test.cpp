#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/format.h"

namespace tolva {
namespace {

TEST(OutputBufferTest, ALargeOutputMovesIntoHugePagesAndKeepsItsBytes) {
    constexpr std::size_t kHugePage = 2 * 1024 * 1024;
    const auto hugeAligned = [](const OutputBuffer& out) {
        return reinterpret_cast<std::uintptr_t>(out.data()) % kHugePage == 0;
    };
    OutputBuffer out;
    out += "<DT>";
    out.append(1000, 'a');
    std::memset(out.Extend(600 * 1024), 'b', 600 * 1024);  // past a quarter megabyte: huge pages
    EXPECT_TRUE(hugeAligned(out));
    out.append(std::string(3 * kHugePage, 'c'));  // more than one huge page
    EXPECT_TRUE(hugeAligned(out));
    const std::string_view text = out;
    ASSERT_EQ(text.size(), 4 + 1000 + 600 * 1024 + 3 * kHugePage);
    EXPECT_EQ(text.substr(0, 5), "<DT>a");
    EXPECT_EQ(text.find_first_not_of('a', 4), 1004U);
    EXPECT_EQ(text.find_first_not_of('b', 1004), 1004 + 600 * 1024U);
    EXPECT_EQ(text.find_first_not_of('c', 1004 + 600 * 1024), std::string_view::npos);
    out.clear();
    out.push_back('x');
    EXPECT_EQ(std::string_view(out), "x");
}

}  // namespace
}  // namespace tolva
