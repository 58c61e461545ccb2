#include "model/url_set.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace tolva {
namespace {

// Builds FolderStart A, Link a1, FolderEnd, FolderStart B, Link b1, Link b2, Link b3, FolderEnd, FolderEnd.
class UrlSetListTest : public ::testing::Test {
protected:
    void SetUp() override {
        set.Append(new UrlEntry(UrlEntryKind::FolderStart, "A"));
        a1 = new UrlEntry(UrlEntryKind::Link, "a1", "http://a1/");
        set.Append(a1);
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Append(new UrlEntry(UrlEntryKind::FolderStart, "B"));
        b1 = new UrlEntry(UrlEntryKind::Link, "b1");
        b2 = new UrlEntry(UrlEntryKind::Link, "b2");
        b3 = new UrlEntry(UrlEntryKind::Link, "b3");
        set.Append(b1);
        set.Append(b2);
        set.Append(b3);
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Rewind();
    }
    std::vector<std::string> Walk() {
        std::vector<std::string> seen;
        set.Rewind();
        while (UrlEntry* entry = set.Next()) seen.push_back(entry->name + "@" + set.GetCurrentPath());
        return seen;
    }

    UrlSet set;
    UrlEntry *a1, *b1, *b2, *b3;
};

TEST_F(UrlSetListTest, NextTracksTheFolderPath) {
    EXPECT_EQ(Walk(),
              (std::vector<std::string>{"A@\\A", "a1@\\A", "@", "B@\\B", "b1@\\B", "b2@\\B", "b3@\\B", "@", "@"}));
    EXPECT_EQ(set.Next(), nullptr);
}

TEST_F(UrlSetListTest, FindFolderFollowsPathsAndTreatsBackslashAsTop) {
    EXPECT_EQ(set.FindFolder("\\"), &set.root);
    EXPECT_EQ(set.FindFolder(""), &set.root);
    ASSERT_NE(set.FindFolder("\\B"), nullptr);
    EXPECT_EQ(set.FindFolder("\\B")->name, "B");
    EXPECT_EQ(set.FindFolder("\\b"), nullptr);
    EXPECT_EQ(set.FindFolder("\\C"), nullptr);
}

TEST_F(UrlSetListTest, MoveAfterRelinksBothDirections) {
    EXPECT_EQ(b2->MoveAfter(b3), b1);
    EXPECT_EQ(b1->next, b3);
    EXPECT_EQ(b3->prev, b1);
    EXPECT_EQ(b3->next, b2);
    EXPECT_EQ(b2->prev, b3);
    EXPECT_EQ(b2->next->kind, UrlEntryKind::FolderEnd);
    EXPECT_EQ(b2->next->prev, b2);
    // Only links move, and only to a real target.
    UrlEntry* folderB = set.FindFolder("\\B");
    EXPECT_EQ(folderB->MoveAfter(a1), nullptr);
    EXPECT_EQ(b1->MoveAfter(nullptr), nullptr);
    EXPECT_EQ(a1->next->kind, UrlEntryKind::FolderEnd);
}

TEST_F(UrlSetListTest, RenameAndPreservedLocationKeepHistory) {
    b1->Rename("new", NameTranslated);
    EXPECT_EQ(b1->name, "new");
    EXPECT_EQ(b1->preservedName, "b1");
    EXPECT_EQ(b1->flags, NamePreserved | NameTranslated);
    b1->SetPreservedLocation("\\B", ChangedByVerification);
    EXPECT_EQ(b1->preservedLocation, "\\B");
    EXPECT_EQ(b1->flags, NamePreserved | NameTranslated | LocationPreserved | ChangedByVerification);
}

TEST_F(UrlSetListTest, ClearRewindsAndEmpties) {
    set.Next();
    set.Clear();
    EXPECT_EQ(set.root.next, nullptr);
    EXPECT_EQ(set.GetCursor(), &set.root);
    EXPECT_EQ(set.GetCurrentPath(), "");
}

// Entries are made on some threads and freed on others, and each thread keeps slots of its own
// which go back when it ends: no slot may be handed out twice.
TEST(UrlEntryMemoryTest, EntriesMadeAndFreedAcrossThreadsStayDistinctAndIntact) {
    constexpr int kThreads = 4;
    constexpr int kEach = 20000;  // several batches of freed slots per thread
    auto name = [](int round, int thread, int i) {
        return std::to_string(round) + "/" + std::to_string(thread) + "/" + std::to_string(i);
    };
    auto make = [&](std::vector<UrlEntry*>& into, int round, int thread) {
        for (int i = 0; i < kEach; ++i)
            into.push_back(new UrlEntry(UrlEntryKind::Link, name(round, thread, i), "http://x/"));
    };
    auto onThreads = [](const auto& work) {
        std::vector<std::thread> threads;
        threads.reserve(kThreads);
        for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
        for (auto& thread : threads) thread.join();
    };
    std::vector<std::vector<UrlEntry*>> first(kThreads), second(kThreads + 1);
    onThreads([&](int t) { make(first[t], 0, t); });
    onThreads([&](int t) {
        for (UrlEntry* entry : first[(t + 1) % kThreads]) delete entry;
        make(second[t], 1, t);
    });
    make(second[kThreads], 1, kThreads);  // from what the ended threads gave back

    std::unordered_set<UrlEntry*> seen;
    for (int t = 0; t <= kThreads; ++t) {
        for (int i = 0; i < kEach; ++i) {
            ASSERT_TRUE(seen.insert(second[t][i]).second) << "slot handed out twice";
            ASSERT_EQ(second[t][i]->GetName(), name(1, t, i));
        }
    }
    for (UrlEntry* entry : seen) delete entry;
}

}  // namespace
}  // namespace tolva
