#include "app/udlp/udlpinfo.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "apptestsupport.h"
#include "engine/base/error.h"

namespace vebix {
namespace {

using testing::readBytes;
using testing::writeBytes;

// Parses the bytes as an open file.
UdlpInfo parse(const std::string& bytes) {
    std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    if (bytes.empty()) f = std::fopen("/dev/null", "rb");
    UdlpInfo info;
    try {
        info = readUdlpInfo(f);
    } catch (...) {
        std::fclose(f);
        throw;
    }
    std::fclose(f);
    return info;
}

const std::string kHeader = "2\r\n0\r\nvebix\r\nAnn\r\n";

TEST(UdlpRead, HeaderAndKeys) {
    UdlpInfo info = parse(kHeader +
                          "mind=/m/Ann.mdd\r\nexepath=/opt/v/vebix\r\n"
                          "showerrors=false\r\nlearn=true\r\n");
    EXPECT_EQ(info.versionMajor, 2);
    EXPECT_EQ(info.versionMinor, 0);
    EXPECT_EQ(info.exeName, "vebix");
    EXPECT_EQ(info.botName, "Ann");
    EXPECT_EQ(info.mind, "/m/Ann.mdd");
    EXPECT_EQ(info.exePath, "/opt/v/vebix");
    EXPECT_FALSE(info.showErrors);
    EXPECT_TRUE(info.learn);
}

TEST(UdlpRead, Defaults) {
    UdlpInfo info = parse(kHeader);
    EXPECT_TRUE(info.showErrors);
    EXPECT_FALSE(info.learn);
    EXPECT_EQ(info.mind, "");
    EXPECT_EQ(info.infoPath, "");
}

TEST(UdlpRead, FlagValues) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"FALSE", false}, {"No", false},    {"0", false},  {"false", false},
        {"nO", false},    {"off", true},    {"yes", true}, {"true", true},
        {"1", true},      {" false", true}, {"00", true},
    };
    for (const auto& [value, on] : cases) {
        EXPECT_EQ(parse(kHeader + "learn=" + value + "\r\n").learn, on) << value;
        EXPECT_EQ(parse(kHeader + "showerrors=" + value + "\r\n").showErrors, on) << value;
    }
}

TEST(UdlpRead, KeyLineRules) {
    // Empty value ignored, capital M ignored, blanks not trimmed, the later line wins.
    UdlpInfo info = parse(kHeader +
                          "mind=/first\r\nmind=\r\nMind=/capital\r\n mind=/blank\r\n"
                          "learn=\r\nmind=/second\r\nunknown=1\r\n");
    EXPECT_EQ(info.mind, "/second");
    EXPECT_FALSE(info.learn);
    EXPECT_EQ(parse(kHeader + "mind=\r\n").mind, "");
    EXPECT_EQ(parse(kHeader + "Mind=/x\r\n").mind, "");
}

TEST(UdlpRead, LineEnds) {
    for (const std::string& end : {std::string("\n"), std::string("\r"), std::string("\r\n")}) {
        UdlpInfo info = parse("2" + end + "1" + end + "exe" + end + "Bo Bot" + end + "mind=/a b" +
                              end + "learn=yes");
        EXPECT_EQ(info.versionMinor, 1);
        EXPECT_EQ(info.exeName, "exe");
        EXPECT_EQ(info.botName, "Bo Bot");
        EXPECT_EQ(info.mind, "/a b");
        EXPECT_TRUE(info.learn);
    }
}

TEST(UdlpRead, HeaderVersionMustBeANumberUpTo255) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"2\r\n0\r\n", true},
        {"255\r\n255\r\n", true},
        {"0002\r\n0\r\n", true},
        {"2 \r\n0\r\n", false},
        {"256\r\n0\r\n", false},
        {"2\r\n256\r\n", false},
        {"\r\n0\r\n", false},
        {"-1\r\n0\r\n", false},
        {"+2\r\n0\r\n", false},
        {"2\r\n", false},
        {"", false},
        {"0x1\r\n0\r\n", false},
        {" 2\r\n0\r\n", false},
        {std::string(100000, '9') + "\r\n0\r\n", false},
    };
    for (const auto& [bytes, ok] : cases) {
        SCOPED_TRACE(bytes.substr(0, 20));
        if (ok)
            EXPECT_NO_THROW(parse(bytes));
        else
            EXPECT_THROW(parse(bytes), Error);
    }
}

TEST(UdlpRead, HeaderVersionNumber) {
    std::string bytes = "2\r\n1\r\nexe\r\n";  // line 4 missing: empty name
    std::FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
    UdlpInfo info;
    EXPECT_EQ(readUdlpHeader(f, info), 513u);
    std::fclose(f);
    EXPECT_EQ(info.botName, "");
}

TEST(UdlpRead, BadBytesDoNotBreakTheReader) {
    std::string junk = kHeader;
    junk += std::string("mind=\0\xFF\xFE", 8) + "\r\n";
    junk += std::string(1 << 20, '\x01') + "\n";
    junk += "learn=\xC3\r\n";
    UdlpInfo info = parse(junk);
    EXPECT_EQ(info.mind, std::string("\0\xFF\xFE", 3));
    EXPECT_TRUE(info.learn);
}

class UdlpFiles : public testing::WorkingFolderTest {};

TEST_F(UdlpFiles, WritesBothFilesBesideTheExecutable) {
    QDir(tmp_.path()).mkpath("Minds");
    writeUdlpFiles("Ann", spath("Minds/Ann.mdd"), false, programPath());
    const std::string four = "2\r\n0\r\nvebix\r\nAnn\r\n";
    EXPECT_EQ(readBytes(path("bin/UDLP.NFO")), four);
    EXPECT_EQ(readBytes(path("bin/UDLPX.NFO")), four + "mind=" + spath("Minds/Ann.mdd") +
                                                    "\r\nexepath=" + spath("bin/vebix") +
                                                    "\r\nshowerrors=true\r\nlearn=false\r\n");
    writeUdlpFiles("Bo", "rel.mdd", true,
                   programPath());  // replaced whole; a relative mind made full
    EXPECT_EQ(readBytes(path("bin/UDLPX.NFO")),
              "2\r\n0\r\nvebix\r\nBo\r\nmind=" + spath("work/rel.mdd") +
                  "\r\nexepath=" + spath("bin/vebix") + "\r\nshowerrors=true\r\nlearn=true\r\n");
}

TEST_F(UdlpFiles, WrittenFilesReadBack) {
    writeUdlpFiles("Ann Lee", "/minds/ann.mdd", true, programPath());
    UdlpInfo info;
    ASSERT_TRUE(loadUdlpInfo(spath("bin"), info));
    EXPECT_EQ(info.botName, "Ann Lee");
    EXPECT_EQ(info.exeName, "vebix");
    EXPECT_EQ(info.mind, "/minds/ann.mdd");
    EXPECT_EQ(info.exePath, spath("bin/vebix"));
    EXPECT_TRUE(info.showErrors);
    EXPECT_TRUE(info.learn);
    EXPECT_EQ(info.infoPath, spath("bin/UDLPX.NFO"));
}

TEST_F(UdlpFiles, FindPrefersTheWorkingFolder) {
    UdlpInfo info;
    EXPECT_FALSE(findUdlpInfo(info, programPath()));
    writeBytes(path("bin/UDLPX.NFO"), "2\r\n0\r\nvebix\r\nBesideExe\r\n");
    ASSERT_TRUE(findUdlpInfo(info, programPath()));
    EXPECT_EQ(info.botName, "BesideExe");
    writeBytes(path("work/UDLPX.NFO"), "2\r\n0\r\nvebix\r\nInWorkingFolder\r\n");
    ASSERT_TRUE(findUdlpInfo(info, programPath()));
    EXPECT_EQ(info.botName, "InWorkingFolder");
    EXPECT_EQ(info.infoPath, "UDLPX.NFO");
}

TEST_F(UdlpFiles, WriteFailureIsRaised) {
    EXPECT_THROW(writeUdlpFiles("Ann", "/m.mdd", false, spath("no/such/folder/vebix")), Error);
}

}  // namespace
}  // namespace vebix
