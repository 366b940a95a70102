// vebix info on the built program: a clean mind, a faulty one, a missing file, a non-mind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mind/templatemind.h"
#include "cli_e2e/runvebix.h"

namespace vebix::e2e {
namespace {

const std::string kClean =
    "1.2 1.2 \"Vebix\"\r\n\r\n"
    "ann 100 Ann hello there\r\n"
    "Ann 200 <ai> hello again\r\n"
    "bob 300 Bob hello\r\n";

TEST(InfoCommand, PrintsWhatACleanMindHolds) {
    ScratchHome home;
    const std::string mind = home.write("work/clean.mdd", kClean);
    for (const bool check : {false, true}) {
        std::vector<std::string> args{"info", "clean.mdd"};
        if (check) args.push_back("--check");
        const RunResult r = run(args, home.environment({"TZ=UTC"}), home.work());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        for (const std::string& expected :
             {"File:           " + mind + " (" + std::to_string(kClean.size()) + " bytes)",
              std::string("Bot:            Vebix (mind file version 1.2)"),
              std::string("Lines:          3 (1 of them the bot's own)"),
              std::string("Conversations:  2 (distinct keys, letter case ignored)"),
              std::string("Speakers:       2 besides the bot"),
              std::string("First time:     1970-01-01T00:01:40Z (100)"),
              std::string("Last time:      1970-01-01T00:05:00Z (300)"), std::string("  hello  3")})
            EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
        EXPECT_EQ(r.out.find("no problems found") != std::string::npos, check) << r.out;
    }
}

// Faults (lines the engine skips or misreads) fail the check; notes (what loses nothing) are
// listed and pass, so that a fresh mind made from the template passes.
TEST(InfoCommand, CheckFailsOnFaultsAndPassesOnNotes) {
    struct Case {
        const char* what;
        std::string mind;
        int status;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {"a fault and a note",
         kClean + "bob 250 Bob went back\r\nbob x Bob bad time\r\n",
         1,
         {"Check:          1 fault, 1 note", "  line 6: note: time goes back: earlier than line 5",
          "  line 7: unreadable time 'x'"}},
        {"notes alone",
         kClean + "bob 250 Bob went back\r\nbob 260 Bob \xFF\r\n",
         0,
         {"Check:          0 faults, 2 notes", "  line 6: note: time goes back",
          "  line 7: note: invalid UTF-8"}},
        {"a NUL byte",
         kClean + std::string("bob 400 Bob cut\0here\r\n", 23),
         1,
         {"Check:          1 fault, 0 notes", "  line 6: a NUL byte"}},
        {"a fresh mind from the template", std::string(templateMindText()), 0, {"Check:   "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchHome home;
        home.write("work/checked.mdd", c.mind);
        const RunResult plain = run({"info", "checked.mdd"}, home.environment(), home.work());
        EXPECT_EQ(plain.status, 0) << "without --check nothing is looked for";
        const RunResult r =
            run({"info", "checked.mdd", "--check"}, home.environment(), home.work());
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_EQ(r.err, "");
        for (const std::string& said : c.said)
            EXPECT_NE(r.out.find(said), std::string::npos) << said << "\n" << r.out;
    }
}

TEST(InfoCommand, AMissingFileOrANonMindIsOneErrorLine) {
    ScratchHome home;
    home.write("work/notes.txt", "just some notes\n");
    struct Case {
        const char* file;
        const char* said;
    };
    for (const Case& c : {Case{"missing.mdd", "cannot open"}, Case{"notes.txt", "not a mind"}}) {
        const RunResult r = run({"info", c.file, "--check"}, home.environment(), home.work());
        EXPECT_EQ(r.status, 1) << c.file;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("vebix info: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

}  // namespace
}  // namespace vebix::e2e
