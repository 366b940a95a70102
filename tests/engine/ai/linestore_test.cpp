#include <gtest/gtest.h>

#include <string>

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
