#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/mind/templatemind.h"

using namespace vebix;

namespace {

std::vector<std::string> splitCrLf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string_view::npos) << "every line ends in CR LF";
        if (end == std::string_view::npos) break;
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

}  // namespace

TEST(TemplateMind, HasTheStructureANewMindStartsFrom) {
    std::string_view text = templateMindText();
    ASSERT_GT(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_GT(text.size(), 3500u);
    EXPECT_LT(text.size(), 4100u);
    auto lines = splitCrLf(text.substr(3));
    ASSERT_EQ(lines.size(), 5u + 122u);
    EXPECT_EQ(lines[0], "1.2 1.2 \"Vebix\"");
    EXPECT_EQ(lines[1], "app=Vebix");
    EXPECT_EQ(lines[2], "appver=1.2.02");
    EXPECT_EQ(lines[3], "gender=m");
    EXPECT_EQ(lines[4], "");

    std::vector<std::string> body(lines.begin() + 5, lines.end());
    EXPECT_EQ(body[0], "$ 1001 $a Hi.");
    EXPECT_EQ(body[1], "$ 1002 $b Hello  :)");
    EXPECT_EQ(body[2], "$ 1003 $a Hey there!  {:-)");
    EXPECT_EQ(body[3], "$ 1004 $b Ahoy!!");
    EXPECT_EQ(body[4], "$ 2001 $a How are you?");
    EXPECT_EQ(body[5], "$ 2002 $b I'm good, how about you?");
    EXPECT_EQ(body.back(), "$ 35003 $a Good indeed.");

    std::map<std::string, int> speakers;
    std::set<int> conversations;
    int indexOf4004 = -1, indexOf3005 = -1, indexOf7002 = -1, indexOf7003 = -1;
    for (int i = 0; i < static_cast<int>(body.size()); ++i) {
        std::istringstream in(body[i]);
        std::string key, time, speaker;
        in >> key >> time >> speaker;
        EXPECT_EQ(key, "$") << body[i];
        ++speakers[speaker];
        conversations.insert(std::stoi(time) / 1000);
        if (body[i] == "$ 4004 $b My computer could be faster.") indexOf4004 = i;
        if (body[i] == "$ 3005 $a My computer isn't that slow.") indexOf3005 = i;
        if (body[i] == "$ 7002 Bot My name is Bot. Pleased to meet you.") indexOf7002 = i;
        if (body[i] == "$ 7003 Robot You can call me Robot!") indexOf7003 = i;
    }
    EXPECT_EQ(speakers,
              (std::map<std::string, int>{{"$a", 68}, {"$b", 52}, {"Bot", 1}, {"Robot", 1}}));
    EXPECT_EQ(conversations.size(), 35u);
    EXPECT_EQ(*conversations.begin(), 1);
    EXPECT_EQ(*conversations.rbegin(), 35);
    ASSERT_GE(indexOf4004, 0);
    EXPECT_EQ(indexOf3005, indexOf4004 + 1);
    ASSERT_GE(indexOf7002, 0);
    EXPECT_EQ(indexOf7003, indexOf7002 + 1);
}
