#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/ai/linestore.h"

using namespace vebix;

TEST(LineStore, ViewsStayValidWhileGrowing) {
    LineStore store;
    std::string big(400000, 'x');  // gets a block of its own
    store.push_back("first");
    std::string_view first = store[0];
    for (int i = 0; i < 50000; ++i) store.push_back("line " + std::to_string(i));
    store.push_back(big);
    store.push_back("");
    store.push_back("after big");
    EXPECT_EQ(first.data(), store[0].data());
    EXPECT_EQ(store[0], "first");
    EXPECT_EQ(store[1], "line 0");
    EXPECT_EQ(store[50000], "line 49999");
    EXPECT_EQ(store[50001], big);
    EXPECT_EQ(store[50002], "");
    EXPECT_EQ(store[50003], "after big");
    EXPECT_EQ(store.size(), 50004u);
    store.clear();
    EXPECT_TRUE(store.empty());
}

TEST(LineStore, ViewsStayValidWhenTheStoreIsMoved) {
    // Short lines, which a std::string would keep inside itself, are the ones a move could
    // carry away; the store keeps them in blocks that the move only hands over.
    auto store = std::make_unique<LineStore>();
    std::vector<std::string_view> views;
    for (int i = 0; i < 1000; ++i) {
        store->push_back("l" + std::to_string(i));
        views.push_back((*store)[static_cast<std::size_t>(i)]);
    }
    LineStore moved(std::move(*store));
    store.reset();
    moved.push_back("one more");
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(views[static_cast<std::size_t>(i)], "l" + std::to_string(i)) << i;
        const auto k = static_cast<std::size_t>(i);
        EXPECT_EQ(moved[k].data(), views[k].data());
    }
    EXPECT_EQ(moved.back(), "one more");
}

// A Reader gives every line as operator[] does, whether the lines are views into an adopted
// text (read a block at a time, from a copy or the text itself) or copies of their own, and a
// block holds whole lines only.
TEST(LineStore, ReaderGivesTheSameLinesInBlocks) {
    auto text = std::make_unique<char[]>(4000);
    std::string all;
    for (int i = 0; i < 200; ++i) all += "line " + std::to_string(i) + "\r\n";
    std::memcpy(text.get(), all.data(), all.size());
    const char* base = text.get();
    LineStore store;
    store.adopt(std::move(text), all.size());
    for (std::size_t at = 0, end; (end = all.find("\r\n", at)) != std::string::npos; at = end + 2)
        store.pushExternal(std::string_view(base + at, end - at));
    store.push_back("learned 1");
    store.push_back("learned 2");
    ASSERT_EQ(store.spanLines(), 200u);

    for (std::size_t blockBytes : {std::size_t{1}, std::size_t{30}, std::size_t{1} << 20}) {
        SCOPED_TRACE(blockBytes);
        LineStore::Reader reader(store, blockBytes);
        std::vector<std::string> got;
        for (std::size_t i = 0; i < store.size();) {
            const std::size_t end = reader.fill(i, store.size());
            ASSERT_GT(end, i);
            if (i < store.spanLines()) {
                EXPECT_LE(reader.block().size(), std::max<std::size_t>(blockBytes, 12));
                EXPECT_TRUE(reader.block().starts_with(store[i]));
                EXPECT_TRUE(reader.block().ends_with(store[end - 1]));
            }
            for (; i < end; ++i) got.emplace_back(reader.line(i));
        }
        EXPECT_EQ(got, std::vector<std::string>(store.begin(), store.end()));
        // Lines out of order, each filling on a miss.
        EXPECT_EQ(reader.line(150), "line 150");
        EXPECT_EQ(reader.line(3), "line 3");
        EXPECT_EQ(reader.line(201), "learned 2");
    }
}

// A Reader with a longest line gives every longer line as an empty one, in the span or learned,
// and never puts one in a block: the lines around it read as before.
TEST(LineStore, ReaderPassesOverLinesLongerThanTheLongest) {
    const std::vector<std::string> lines = {"short a", std::string(50, 'L'),
                                            "short b", std::string(21, 'M'),
                                            "short c", std::string(20, 'N')};
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    auto text = std::make_unique<char[]>(all.size());
    std::memcpy(text.get(), all.data(), all.size());
    const char* base = text.get();
    LineStore store;
    store.adopt(std::move(text), all.size());
    for (std::size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
        store.pushExternal(std::string_view(base + at, end - at));
    store.push_back(std::string(30, 'P'));
    store.push_back("learned");
    const std::vector<std::string> expected = {
        "short a", "", "short b", "", "short c", std::string(20, 'N'), "", "learned"};
    for (std::size_t blockBytes : {std::size_t{1}, std::size_t{16}, std::size_t{1} << 20}) {
        SCOPED_TRACE(blockBytes);
        LineStore::Reader reader(store, blockBytes, 20);
        std::vector<std::string> got;
        for (std::size_t i = 0; i < store.size();) {
            const std::size_t end = reader.fill(i, store.size());
            ASSERT_GT(end, i);
            EXPECT_EQ(reader.block().find_first_of("LM"), std::string_view::npos);
            for (; i < end; ++i) got.emplace_back(reader.line(i));
        }
        EXPECT_EQ(got, expected);
        EXPECT_EQ(reader.line(1), "");
        EXPECT_EQ(reader.line(6), "");
        EXPECT_EQ(reader.line(5), std::string(20, 'N'));
    }
}
