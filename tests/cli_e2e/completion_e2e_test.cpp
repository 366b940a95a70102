// The bash completion file, loaded into a real bash: what it offers after each kind of word.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli_e2e/runvebix.h"

namespace vebix::e2e {
namespace {

struct CompletionCase {
    std::string words;     // the command line, the last word being completed
    std::string expected;  // what is offered, blank-separated, in bash's order
};

TEST(Completion, OffersCommandsOptionsAndFilesWhereEachBelongs) {
    ScratchHome home;
    ASSERT_TRUE(home.valid());
    home.write("work/robo.mdd", "");
    home.write("work/lines.txt", "");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(home.path("home/.config/vebix/irc"))));
    home.write("home/.config/vebix/irc/robo.conf", "");
    home.write("home/.config/vebix/irc/rita.conf", "");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(home.path("work/botfolder"))));
    const std::vector<CompletionCase> cases = {
        {"vebix le", "learn"},
        {"vebix --ver", "--version"},
        {"vebix ''", "chat learn reply link info irc botfolder robo.mdd"},
        {"vebix learn ''", "botfolder robo.mdd"},
        {"vebix learn robo.mdd ''", "botfolder lines.txt robo.mdd"},
        {"vebix learn --format t", "telegram transcript tsv"},
        {"vebix learn robo.mdd --ig", "--ignore-nick"},
        {"vebix irc ''", "botfolder robo.mdd"},
        {"vebix irc robo.mdd --ch", "--chance --channel"},
        {"vebix irc robo.mdd --channel ''", ""},
        {"vebix irc --config r", "rita robo robo.mdd"},
        {"vebix irc --config robo.mdd --ca-file l", "lines.txt"},
        {"vebix learn --bot ''", ""},
        {"vebix info --c", "--check"},
        {"vebix link ''", "botfolder"},
        {"vebix link --mind ''", "botfolder robo.mdd"},
        {"vebix reply robo.mdd ''", ""},
    };
    for (const CompletionCase& c : cases) {
        // The completion function runs with the words set as bash sets them for a Tab press.
        const std::string script =
            std::string("source '") + VEBIX_COMPLETION_FILE +
            "'\n"
            "COMP_WORDS=(" +
            c.words +
            ")\n"
            "COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))\n"
            "_vebix\n"
            "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort | tr '\\n' ' '\n";
        std::vector<std::string> env = home.environment();
        std::vector<std::string> argv{"/bin/bash", "--norc", "--noprofile", "-c", script};
        // run() starts the program under test; bash is started the same way by hand here.
        int out[2];
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addchdir_np(&actions, home.work().c_str());
        auto argp = detail::pointers(argv);
        auto envp = detail::pointers(env);
        pid_t pid = -1;
        ASSERT_EQ(::posix_spawn(&pid, "/bin/bash", &actions, nullptr, argp.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        std::string got;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        ::close(out[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(detail::statusOf(status), 0) << c.words;
        while (!got.empty() && got.back() == ' ') got.pop_back();
        std::string expected = c.expected;
        // bash sorts its own way; compare as sorted words.
        std::vector<std::string> a, b;
        auto split = [](const std::string& s, std::vector<std::string>& into) {
            std::size_t at = 0;
            while (at < s.size()) {
                std::size_t end = s.find(' ', at);
                if (end == std::string::npos) end = s.size();
                if (end > at) into.push_back(s.substr(at, end - at));
                at = end + 1;
            }
            std::sort(into.begin(), into.end());
        };
        split(got, a);
        split(expected, b);
        EXPECT_EQ(a, b) << c.words << " offered: " << got;
    }
}

}  // namespace
}  // namespace vebix::e2e
