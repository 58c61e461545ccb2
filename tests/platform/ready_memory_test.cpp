#include "platform/ready_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tolva {
namespace {

TEST(ReadyMemoryTest, AGrowingBufferMovesIntoHugePagesAndKeepsItsText) {
    using Buffer = std::basic_string<char, std::char_traits<char>, ReadyBlockAllocator<char>>;
    constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;
    Buffer text(1000, 'a');
    text.append(600 * 1024, 'b');  // past a quarter megabyte: whole huge pages
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(text.data()) % kHugePage, 0U);
    text.append(3 * kHugePage, 'c');  // more than one huge page
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(text.data()) % kHugePage, 0U);
    ASSERT_EQ(text.size(), 1000 + 600 * 1024 + 3 * kHugePage);
    EXPECT_EQ(text.find_first_not_of('a'), 1000U);
    EXPECT_EQ(text.find_first_not_of('b', 1000), 1000 + 600 * 1024U);
    EXPECT_EQ(text.back(), 'c');
    text.resize(10);
    text.shrink_to_fit();  // back into the heap
    EXPECT_EQ(std::string(text.data(), text.size()), std::string(10, 'a'));
}

}  // namespace
}  // namespace tolva
