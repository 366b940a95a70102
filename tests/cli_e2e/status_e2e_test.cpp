// One rule for every command's exit status: 0 success, 1 failure (an output that cannot be
// written included), 2 a command line that cannot be read, 3 no reply, 130 interrupted;
// checked as one table of command and situation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_e2e/runvebix.h"

namespace vebix::e2e {
namespace {

TEST(ExitStatus, EveryCommandKeepsTheOneRule) {
    ScratchHome home;
    ASSERT_TRUE(home.valid());
    const std::string mind = home.write("work/mind.mdd", kSmallMind);
    // A mind with no lines has no answer to anything.
    home.write("work/empty.mdd", "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\n");
    home.write("work/notes.txt", "Hello there\nHow are you today?\n");
    home.write("work/notamind.mdd", "just some text\n");

    struct Case {
        const char* situation;
        std::vector<std::string> args;
        std::string input;
        int status;
        const char* err;  // a part of what standard error says; "" when it says nothing
        bool closedOutput = false;
    };
    const std::vector<Case> cases = {
        {"help", {"--help"}, "", 0, ""},
        {"version with an extra word", {"--version", "extra"}, "", 2, "no other argument"},
        {"a mistyped command", {"lern", "x.mdd"}, "", 2, "did you mean 'learn'?"},
        {"a mistyped command alone", {"rpely"}, "", 2, "unknown command 'rpely'"},
        {"help on a closed output", {"--help"}, "", 1, "cannot write the output", true},
        {"reply", {"reply", "mind.mdd", "Hi"}, "", 0, ""},
        {"reply, the default mind named by nobody", {"reply", "Hi"}, "", 1, "vebix reply: "},
        {"reply with no answer", {"reply", "empty.mdd", "Hi"}, "", 3, ""},
        {"reply to an empty text", {"reply", "mind.mdd", " "}, "", 2, "empty TEXT"},
        {"reply, blank lines skipped", {"reply", "mind.mdd"}, "Hi\n\n  \n", 0, ""},
        {"reply to lines, one without an answer", {"reply", "empty.mdd", "-"}, "Hi\n", 3, ""},
        {"reply with a mind that is missing",
         {"reply", "gone.mdd", "Hi"},
         "",
         1,
         "mind file not found: '"},
        {"reply with a bad seed", {"reply", "mind.mdd", "Hi", "--seed", "x"}, "", 2, "--seed"},
        {"reply on a closed output",
         {"reply", "mind.mdd", "Hi"},
         "",
         1,
         "vebix reply: cannot write the output",
         true},
        {"info", {"info", "mind.mdd", "--quiet"}, "", 0, ""},
        {"info on a closed output",
         {"info", "mind.mdd"},
         "",
         1,
         "vebix info: cannot write the output",
         true},
        {"info of what is no mind", {"info", "notamind.mdd"}, "", 1, "is not a mind file"},
        {"learn", {"learn", "mind.mdd", "notes.txt", "--quiet"}, "", 0, ""},
        {"learn from standard input", {"learn", "mind.mdd", "-", "--json"}, "Good day\n", 0, ""},
        {"learn with no file", {"learn", "mind.mdd"}, "", 2, "missing argument"},
        {"chat over a pipe", {"chat", "mind.mdd", "--name", "Ann", "-q"}, "Hi\n", 0, ""},
        {"chat discarding", {"chat", "mind.mdd", "--name", "Ann"}, "Hi\n/discard\n", 0, ""},
        {"chat on a closed output",
         {"chat", "mind.mdd", "--name", "Ann"},
         "",
         1,
         "vebix chat: cannot write the output",
         true},
        {"link with no bot", {"link", "Nobody", "--mind", "mind.mdd"}, "", 1, "vebix link: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        const RunResult r =
            c.closedOutput ? run(c.args, home.environment(), home.work(), {}, Output::ReaderGone)
                           : run(c.args, home.environment(), home.work(), c.input);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (*c.err) {
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.err, "");
        }
    }
}

// reply --json says what the reply is and where it came from; without --learn a run does not
// draw on its own earlier lines.
TEST(ExitStatus, ReplyJsonNamesTheSourceLine) {
    ScratchHome home;
    const std::string mind = home.write("work/mind.mdd", kSmallMind);
    const RunResult r = run({"reply", "mind.mdd", "--json", "--seed", "7"}, home.environment(),
                            home.work(), "How are you today?\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"text\": \"", 0), 0u) << r.out;
    const bool picked = r.out.find("\"made\": \"picked\"") != std::string::npos;
    const bool spliced = r.out.find("\"made\": \"spliced\", \"line\": null") != std::string::npos;
    EXPECT_TRUE(picked != spliced) << r.out;
    if (picked) {
        EXPECT_NE(r.out.find("\"source\": \"$ 100"), std::string::npos) << r.out;
    }
    EXPECT_EQ(home.read(mind), kSmallMind);
    // The same seed, the same reply.
    const RunResult again = run({"reply", "mind.mdd", "--json", "--seed", "7"}, home.environment(),
                                home.work(), "How are you today?\n");
    EXPECT_EQ(again.out, r.out);
}

}  // namespace
}  // namespace vebix::e2e
