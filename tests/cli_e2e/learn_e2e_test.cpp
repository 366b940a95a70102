// vebix learn as the built program: into new and existing minds, from standard input, the
// checks and refusals, and killed in the middle of a big import.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"
#include "cli_e2e/runvebix.h"
#include "engine/ai/mindline.h"

namespace vebix::e2e {
namespace {

constexpr std::size_t kTemplateLines = 122;

// The mind at path as the program loads it; its lines' keys in keys when given.
std::size_t loadedLines(const std::string& path, std::set<std::string>* keys = nullptr) {
    VebixAi mind;
    mind.loadFile(path);
    if (keys)
        for (std::string_view line : mind.lines())
            if (line.starts_with("learn-")) keys->emplace(parseLine(line, AiSuffix::Keep).key);
    return mind.lines().size();
}

class LearnE2e : public ::testing::Test {
protected:
    RunResult learn(std::vector<std::string> args, std::string_view input = {}) {
        args.insert(args.begin(), "learn");
        return run(args, home_.environment(), home_.work(), input);
    }
    ScratchHome home_;
};

TEST_F(LearnE2e, LearnsIntoANewMindThenAppendsKeepingTheOldBytes) {
    const std::string mind = home_.path("work/Vebix.mdd");
    home_.write("work/talk.txt", "Hi there.\nHello!\n\nHow are you?\n");
    RunResult r = learn({"Vebix.mdd", "talk.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Learned 3 lines in 2 conversations (plain text) into " + mind + " (a new mind)\n");
    EXPECT_EQ(r.err, "");
    std::set<std::string> firstKeys;
    EXPECT_EQ(loadedLines(mind, &firstKeys), kTemplateLines + 3);
    EXPECT_EQ(firstKeys.size(), 2u);

    // A line the engine cannot read and a last line with no end are kept as they are.
    const std::string old = home_.read(mind) + "garbage\xFF line\r\nA 5 Ann no end";
    home_.write("work/Vebix.mdd", old);
    r = learn({"Vebix.mdd", "-", "--format", "tsv", "--bot", "VEBIX"},
              "Ann\tGood morning\nVebix\tMorning, Ann\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Learned 2 lines in 1 conversation (TSV) into " + mind + "\n");
    const std::string now = home_.read(mind);
    ASSERT_TRUE(now.starts_with(old + "\r\n")) << now;
    const std::string added = now.substr(old.size() + 2);
    EXPECT_NE(added.find(" Ann Good morning\r\n"), std::string::npos) << added;
    EXPECT_NE(added.find(" <ai> Morning, Ann\r\n"), std::string::npos) << added;
    std::set<std::string> allKeys;
    EXPECT_EQ(loadedLines(mind, &allKeys), kTemplateLines + 3 + 2 + 2);
    // The second import's conversation has a key the first never used.
    EXPECT_EQ(allKeys.size(), firstKeys.size() + 1);
}

TEST_F(LearnE2e, CheckAndFailuresWriteNothing) {
    home_.write("work/talk.txt", "one\ntwo\n");
    home_.write("work/pic.bin", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const std::string mind = home_.path("work/m.mdd");

    RunResult r = learn({"m.mdd", "talk.txt", "pic.bin", "--check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Would learn 2 lines in 1 conversation (plain text) into " + mind +
                         "; skipped file pic.bin: not a text file (binary byte at offset 6)\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(mind)));

    // A --bot that names no speaker is pointed out: plain text's sides are $a and $b.
    r = learn({"m.mdd", "talk.txt", "--check", "--bot", "b", "--bot", "$B"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "vebix learn: --bot b matched no speaker (plain text's speakers are $a and $b)\n");

    r = learn({"m.mdd", "talk.txt", "missing.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "vebix learn: cannot read 'missing.txt': No such file or directory; "
              "nothing written\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(mind)));

    r = learn({"m.mdd", "pic.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "Learned nothing; skipped file pic.bin: not a text file (binary byte at "
              "offset 6)\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(mind)));

    r = learn({"m.mdd", "talk.txt", "--format", "csv"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vebix learn: unknown format 'csv' (see 'vebix learn --help')\n");

    r = learn({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("Usage: vebix learn MIND FILE... [OPTION]...\n")) << r.out;
}

TEST_F(LearnE2e, ChatLogsAreToldApartAndTheSummaryNamesThem) {
    const std::string logs = VEBIX_TEST_DATA_DIR "/chatlogs/";
    const std::string mind = home_.path("work/m.mdd");
    RunResult r = learn({"m.mdd", logs + "irssi.log", logs + "telegram-result.json",
                         "--ignore-nick", "BOB", "--empty"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Learned 7 lines in 5 conversations (irssi log, Telegram export) into " +
                         mind +
                         " (a new mind); skipped 12 lines (1 empty, 1 without a speaker, 7 not "
                         "said by anyone (joins, parts, modes, notices, media), 3 by "
                         "--ignore-nick or --only-nick)\n");
    const std::string added = home_.read(mind);
    EXPECT_NE(added.find(" carol do you grow basil too?\r\n"), std::string::npos) << added;
    EXPECT_EQ(added.find(" bob "), std::string::npos) << added;

    // Told what they are, whatever they look like; one taken alone.
    r = learn({"m.mdd", logs + "znc.log", "--format", "znc", "--only-nick", "carol", "--check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("Would learn 1 line in 1 conversation (ZNC log) into ")) << r.out;
    r = learn({"m.mdd", logs + "znc.log", "--ignore-nick", " "});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vebix learn: empty --ignore-nick name (see 'vebix learn --help')\n");
}

TEST_F(LearnE2e, EmptyMindIsNamedAfterItsFile) {
    const RunResult r = learn({"Robo.mdd", "-", "--empty"}, "\xEF\xBB\xBFhello\r\r\rworld\r");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string bytes = home_.read(home_.path("work/Robo.mdd"));
    EXPECT_TRUE(
        bytes.starts_with("\xEF\xBB\xBF"
                          "1.2 1.2 \"Robo\"\r\n\r\nlearn-"))
        << bytes;
    EXPECT_EQ(loadedLines(home_.path("work/Robo.mdd")), 2u);
}

// Feeds input to the program's standard input up to cut bytes (closing it when cut is the
// whole), then sends sig, and returns the exit status; its standard error goes to err.txt in
// the scratch home. Writes block until the program has
// read all but a pipe's buffer, so the program is known to be reading: no waiting on time.
int learnCutShort(const ScratchHome& home, const std::string& input, std::size_t cut, int sig) {
    int in[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string err = home.path("err.txt");
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, home.work().c_str());
    const std::vector<std::string> argv{VEBIX_EXE, "learn", "big.mdd", "-"};
    auto argp = detail::pointers(argv);
    const auto env = home.environment();
    auto envp = detail::pointers(env);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, VEBIX_EXE, &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    if (spawned != 0) {
        ::close(in[1]);
        return -1;
    }
    ::signal(SIGPIPE, SIG_IGN);
    std::size_t fed = 0;
    while (fed < cut) {
        const ssize_t put = ::write(in[1], input.data() + fed, cut - fed);
        if (put <= 0) break;
        fed += static_cast<std::size_t>(put);
    }
    if (cut == input.size()) ::close(in[1]);
    ::kill(pid, sig);
    int waitStatus = 0;
    ::waitpid(pid, &waitStatus, 0);
    if (cut != input.size()) ::close(in[1]);
    return detail::statusOf(waitStatus);
}

TEST_F(LearnE2e, KilledOrInterruptedMidImportLeavesNoneOrAllOfIt) {
    std::string input;
    constexpr std::size_t kLines = 150000;
    for (std::size_t i = 0; i < kLines; ++i) {
        input += "this is line " + std::to_string(i) + " of a long talk about nothing much\n";
        if (i % 10 == 9) input += "\n";
    }
    const std::string mind = home_.path("work/big.mdd");
    const std::string old = std::string(templateMindText());
    const struct {
        std::size_t cut;
        int sig;
        bool mayFinish;  // the program may have finished writing before the signal came
    } points[] = {
        {256 * 1024, SIGKILL, false},       {input.size() / 2, SIGKILL, false},
        {input.size() - 1, SIGKILL, false}, {input.size() / 3, SIGINT, false},
        {input.size(), SIGKILL, true},
    };
    for (const auto& p : points) {
        SCOPED_TRACE("cut at " + std::to_string(p.cut) + ", signal " + std::to_string(p.sig));
        home_.write("work/big.mdd", old);
        const int status = learnCutShort(home_, input, p.cut, p.sig);
        const std::string after = home_.read(mind);
        if (p.sig == SIGINT) {
            EXPECT_EQ(status, 130);
            EXPECT_EQ(home_.read(home_.path("err.txt")),
                      "vebix learn: interrupted; nothing written\n");
            EXPECT_EQ(QDir(QString::fromStdString(home_.work())).entryList(QDir::Files),
                      QStringList{"big.mdd"});
        }
        if (after == old) {
            EXPECT_NE(status, 0);
            continue;
        }
        EXPECT_TRUE(p.mayFinish) << "the mind changed though the input was not all read";
        ASSERT_TRUE(after.starts_with(old));
        EXPECT_EQ(loadedLines(mind), kTemplateLines + kLines);
    }
}

}  // namespace
}  // namespace vebix::e2e
