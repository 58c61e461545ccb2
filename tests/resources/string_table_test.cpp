#include <gtest/gtest.h>

#include <map>

#include "resources/strings.h"

namespace tolva {
namespace {

// LoadString takes the first entry of an id: a second text under a number already used is
// never shown, and takes another message's place when it comes first.
TEST(StringTableTest, EveryIdHasOneText) {
    std::map<int, int> uses;
    for (auto part : {CoreStrings(), VerifyStrings(), UiStrings(), StoreStrings(), DesktopStrings(), MergeStrings()}) {
        for (const StringEntry& entry : part) ++uses[entry.id];
    }
    for (const auto& [id, count] : uses) EXPECT_EQ(count, 1) << "id " << id;
}

}  // namespace
}  // namespace tolva
