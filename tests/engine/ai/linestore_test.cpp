#include <gtest/gtest.h>

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
