// The program's command line: help and version with no display, usage errors, and a first
// argument that is neither a command nor an option still naming the window's mind.
#include <gtest/gtest.h>

#include "app/platform/version.h"
#include "cli_e2e/runvebix.h"

namespace vebix::e2e {
namespace {

TEST(CommandLine, HelpAndVersionPrintAndSucceedWithNoDisplay) {
    ScratchHome home;
    ASSERT_TRUE(home.valid());
    for (const char* option : {"--help", "-h"}) {
        const RunResult r = run({option}, home.environment(), home.work());
        EXPECT_EQ(r.status, 0) << option << r.err;
        EXPECT_NE(r.out.find("Usage: vebix"), std::string::npos) << option;
        EXPECT_NE(r.out.find("learn MIND FILE"), std::string::npos) << option;
        EXPECT_EQ(r.err, "") << option;
    }
    for (const char* option : {"--version", "-v"}) {
        const RunResult r = run({option}, home.environment(), home.work());
        EXPECT_EQ(r.status, 0) << option << r.err;
        EXPECT_EQ(r.out, "vebix " + std::string(release::kVersion) + "\n") << option;
    }
}

TEST(CommandLine, EachCommandHasItsOwnHelp) {
    ScratchHome home;
    for (const char* command : {"chat", "learn", "reply", "link", "info"}) {
        const RunResult r = run({command, "--help"}, home.environment(), home.work());
        EXPECT_EQ(r.status, 0) << command << r.err;
        EXPECT_NE(r.out.find(std::string("Usage: vebix ") + command), std::string::npos)
            << command << r.out;
    }
}

TEST(CommandLine, UsageErrorsAreOneLineAndStatusTwo) {
    ScratchHome home;
    const std::vector<std::vector<std::string>> cases = {
        {"--frobnicate"},
        {"a.mdd", "b.mdd"},
        {"learn", "--frobnicate", "x.mdd", "y.txt"},
        {"learn"},
        {"chat", "--frobnicate"},
        {"reply", "--as"},
        {"learn", "x.mdd", "--format"},
    };
    for (const auto& args : cases) {
        const RunResult r = run(args, home.environment(), home.work());
        EXPECT_EQ(r.status, 2) << args[0] << " " << r.err;
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty()) << args[0];
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
        EXPECT_EQ(r.err.rfind("vebix", 0), 0u) << r.err;
    }
}

TEST(CommandLine, QtOptionsAndAMindStillMeanTheWindow) {
    // With no display the window cannot open; what counts is that the arguments were read as
    // the window's (no usage error) and the message says why it did not open.
    ScratchHome home;
    const RunResult r = run({"-platform", "xcb", "mind.mdd"}, home.environment(), home.work());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vebix::e2e
