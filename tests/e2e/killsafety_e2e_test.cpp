// Saving the mind survives the process being killed at any moment. The built program answers
// CHAT.MSG in bot mode with learning on, and the autosave of the mind keeping runs in a helper
// program; both are killed with SIGKILL at random points of their run, again and again. After
// every kill the mind file must load, hold every line of every save that completed, and hold
// each exchange at most once, whole, in order: no line twice, no line cut short, no two lines
// run together.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "childprocess.h"
#include "scratchfolder.h"
#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"
#include "app/mind/mindwrite.h"

namespace vebix {
namespace {

using e2e::baseEnvironment;
using e2e::Child;
using e2e::Outcome;
using e2e::runChild;
using e2e::spawn;

// How many runs must be killed. Fewer under the sanitizers, which make every run slow;
// VEBIX_KILL_COUNT overrides both.
int killTarget() {
    if (const char* v = std::getenv("VEBIX_KILL_COUNT")) return std::max(1, std::atoi(v));
#ifdef VEBIX_SANITIZED
    return 40;
#else
    return 200;
#endif
}

std::vector<std::string> templateLines() {
    VebixAi t;
    t.loadText("template", templateMindText(), TextLines::Copied);
    return {t.lines().begin(), t.lines().end()};
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Picks when to kill, in polls of the child: anywhere in a run, or in its last part, where the
// exchange is learned and saved. typicalPolls: how long the last complete run took.
long chooseKillPoint(std::mt19937& gen, long typicalPolls) {
    long span = std::max(typicalPolls, 4L);
    if (gen() % 2 == 0) return static_cast<long>(gen() % static_cast<unsigned long>(span + 1));
    long from = span * 8 / 10;
    return from + static_cast<long>(gen() % static_cast<unsigned long>(span * 4 / 10 + 1));
}

// What the mind file holds beyond the template: the numbers of the exchanges, in file order.
// Fails the test when the file does not load or holds anything but whole exchanges.
// heardPrefix/heardSpeaker: the other side's lines are "<key> <time> <speaker> <prefix><n>".
// openingLines: a line the bot said on its own (the window's opening line after each load) may
// stand before an exchange.
std::vector<long> exchangesIn(const QString& mindPath, const std::string& key,
                              const std::string& heardPrefix, bool aiTextIsReplyTo,
                              bool openingLines = false) {
    static const std::vector<std::string> tmpl = templateLines();
    VebixAi mind;
    try {
        mind.loadFile(mindPath.toStdString());
    } catch (const std::exception& e) {
        ADD_FAILURE() << "the mind does not load: " << e.what();
        return {};
    }
    std::vector<std::string> lines(mind.lines().begin(), mind.lines().end());
    EXPECT_EQ(mind.botName(), "Vebix");
    if (lines.size() < tmpl.size() || !std::equal(tmpl.begin(), tmpl.end(), lines.begin())) {
        ADD_FAILURE() << "the template lines are not intact";
        return {};
    }
    std::vector<long> numbers;
    for (std::size_t i = tmpl.size(); i < lines.size(); i += 2) {
        if (openingLines && lines[i].starts_with(key + " ") &&
            lines[i].find(" <ai> ") != std::string::npos &&
            lines[i].find(' ', key.size() + 1) == lines[i].find(" <ai> ")) {
            --i;  // an opening line: one line, not two
            continue;
        }
        if (i + 1 == lines.size()) {
            ADD_FAILURE() << "an exchange is not whole: " << lines[i];
            return numbers;
        }
        const std::string& heard = lines[i];
        const std::string& said = lines[i + 1];
        // heard: "<key> <digits> <key> <prefix><n>"
        const std::string head = key + " ";
        std::size_t timeEnd = heard.find(' ', head.size());
        bool ok = heard.starts_with(head) && timeEnd != std::string::npos;
        std::string time = ok ? heard.substr(head.size(), timeEnd - head.size()) : "";
        std::string rest = ok ? heard.substr(timeEnd + 1) : "";
        const std::string speakerAndPrefix = key + " " + heardPrefix;
        ok = ok && allDigits(time) && rest.starts_with(speakerAndPrefix) &&
             allDigits(rest.substr(speakerAndPrefix.size()));
        if (!ok) {
            ADD_FAILURE() << "line " << i << " is not one whole line heard: " << heard;
            return numbers;
        }
        long n = std::stol(rest.substr(speakerAndPrefix.size()));
        // said: "<key> <same time> <ai> <text>", the text one line of its own.
        const std::string saidHead = key + " " + time + " <ai> ";
        bool saidOk = said.starts_with(saidHead) && said.size() > saidHead.size() &&
                      said.find(key + " ", saidHead.size()) == std::string::npos;
        if (saidOk && aiTextIsReplyTo)
            saidOk = said.substr(saidHead.size()) == "reply to " + std::to_string(n);
        if (!saidOk) {
            ADD_FAILURE() << "line " << i + 1 << " is not one whole reply to " << n << ": " << said;
            return numbers;
        }
        numbers.push_back(n);
    }
    return numbers;
}

using KillSafety = e2e::ScratchFolderTest;

TEST_F(KillSafety, BotModeWithLearningSurvivesKillsWhileSaving) {
    const QString mind = path("mind.mdd");
    write(mind, std::string(templateMindText()));
    write(path("work/UDLPX.NFO"),
          "2\r\n0\r\nvebix\r\nVebix\r\nmind=" + mind.toStdString() + "\r\nlearn=true\r\n");
    const std::vector<std::string> env = baseEnvironment(path("home"));
    const std::vector<std::string> argv = {VEBIX_EXE};
    const int target = killTarget();

    std::mt19937 gen(20240601);
    std::set<long> completed;  // exchanges whose run ended with the reply written
    long typicalPolls = -1;
    int killed = 0, killedAfterSaving = 0, finished = 0;
    for (long i = 0; killed < target && i < 4L * target + 10; ++i) {
        write(path("work/CHAT.MSG"), "Bob\r\nkill check " + std::to_string(i) + "\r\n");
        const qint64 before = QFileInfo(mind).size();
        Child child = spawn(argv, env, path("work").toStdString(), false);
        ASSERT_GT(child.pid, 0);
        // The first run is left to end, to learn how long a run takes. Then a third of the
        // kills come just after the mind file was seen to grow: while the save is finishing
        // (flushing to disk) or the reply is being written.
        Outcome o;
        if (typicalPolls < 0) {
            o = runChild(child.pid, -1);
        } else if (gen() % 3 == 0) {
            o = runChild(child.pid, static_cast<long>(gen() % 8),
                         [&] { return QFileInfo(mind).size() != before; });
        } else {
            o = runChild(child.pid, chooseKillPoint(gen, typicalPolls));
        }
        if (o.killed) {
            ++killed;
            if (QFileInfo(mind).size() != before) ++killedAfterSaving;
        } else {
            ASSERT_TRUE(WIFEXITED(o.status) && WEXITSTATUS(o.status) == 0)
                << "run " << i << " failed with status " << o.status;
            completed.insert(i);
            typicalPolls = o.polls;
            ++finished;
        }

        ASSERT_TRUE(QFileInfo::exists(mind)) << "the mind file is gone after run " << i;
        std::vector<long> held = exchangesIn(mind, "Bob!Bob", "kill check ", false);
        ASSERT_FALSE(::testing::Test::HasFailure()) << "after run " << i;
        ASSERT_TRUE(std::is_sorted(held.begin(), held.end()) &&
                    std::adjacent_find(held.begin(), held.end()) == held.end())
            << "an exchange is held twice or out of order after run " << i;
        for (long n : completed)
            ASSERT_TRUE(std::binary_search(held.begin(), held.end(), n))
                << "exchange " << n << " was saved and is lost after run " << i;
    }
    EXPECT_GE(killed, target);
    std::cout << "bot mode: " << killed << " runs killed (" << killedAfterSaving
              << " after the save had begun), " << finished << " ran to the end\n";
    RecordProperty("killed", killed);
    RecordProperty("killedAfterSaving", killedAfterSaving);
}

// Runs program (a keeper of the mind at the path it is given, saving after every exchange, or
// every exchangesPerSave exchanges, and reporting each save) again and again, killing it at
// random points; with aimAtGrowth, at the moment the file is seen to grow.
void autosaveKillLoop(const QString& mind, const QString& home, const QString& work,
                      const std::string& program, const std::string& key, bool openingLines,
                      const char* what, long exchangesPerSave = 1, bool aimAtGrowth = false) {
    const std::vector<std::string> env = baseEnvironment(home);
    std::vector<std::string> argv = {program, mind.toStdString()};
    if (exchangesPerSave > 1) argv.push_back(std::to_string(exchangesPerSave));
    const int target = killTarget();

    std::mt19937 gen(7);
    long typicalPolls = 2000;
    long lastReported = -1;  // the newest exchange a child reported saved
    int killed = 0;
    int tornOnDisk = 0;  // kills that left a part of a save in the file, for the next to cut
    for (int run = 0; killed < target && run < 4 * target; ++run) {
        const qint64 before = QFileInfo(mind).size();
        Child child = spawn(argv, env, work.toStdString(), true);
        ASSERT_GT(child.pid, 0);
        Outcome o = aimAtGrowth ? runChild(child.pid, static_cast<long>(gen() % 3),
                                           [&] { return QFileInfo(mind).size() != before; })
                                : runChild(child.pid, chooseKillPoint(gen, typicalPolls));
        std::string reported;
        char buf[4096];
        for (ssize_t n; (n = ::read(child.out, buf, sizeof buf)) > 0;) reported.append(buf, n);
        ::close(child.out);
        ASSERT_TRUE(o.killed) << "the autosave loop ended by itself, status " << o.status;
        ++killed;
        // The kill point moves until runs save a few times before they are killed: some die
        // while loading, most while saving.
        const long saves = static_cast<long>(std::count(reported.begin(), reported.end(), '\n'));
        if (saves == 0) typicalPolls += typicalPolls / 4;
        if (saves > 4) typicalPolls -= typicalPolls / 2;
        std::size_t lastLine = reported.find_last_of('\n', reported.size() - 1);
        if (lastLine != std::string::npos) {
            std::size_t from = reported.find_last_of('\n', lastLine - 1);
            from = from == std::string::npos ? 0 : from + 1;
            lastReported = std::stol(reported.substr(from, lastLine - from));
        }

        if (!QFileInfo::exists(mind)) {
            ASSERT_EQ(lastReported, -1) << "the mind file is gone after run " << run;
            continue;
        }
        if (auto read = openMindToRead(mind.toStdString(), "read"))
            if (static_cast<qint64>(read->state.size) < QFileInfo(mind).size()) ++tornOnDisk;
        std::vector<long> held = exchangesIn(mind, key, "autosave check ", true, openingLines);
        ASSERT_FALSE(::testing::Test::HasFailure()) << "after run " << run;
        for (std::size_t k = 0; k < held.size(); ++k)
            ASSERT_EQ(held[k], static_cast<long>(k)) << "exchanges out of order or twice";
        ASSERT_GT(static_cast<long>(held.size()), lastReported)
            << "a completed save is lost after run " << run;
        ASSERT_EQ(held.size() % static_cast<std::size_t>(exchangesPerSave), 0u)
            << "a save is held in part after run " << run;
        lastReported = static_cast<long>(held.size()) - 1;
    }
    std::cout << what << ": " << killed << " runs killed (" << tornOnDisk
              << " left part of a save on disk, left out by the next reader and cut by the next "
                 "writer); the mind holds "
              << lastReported + 1 << " exchanges\n";
    ::testing::Test::RecordProperty("killed", killed);
    ::testing::Test::RecordProperty("tornOnDisk", tornOnDisk);
}

TEST_F(KillSafety, AutosaveSurvivesKillsWhileSaving) {
    autosaveKillLoop(path("mind.mdd"), path("home"), path("work"), VEBIX_AUTOSAVE_CHILD, "Sam!T",
                     false, "mind keeping's autosave");
}

// Saves of many pages, killed the moment the file is seen to grow: a part of a save may be on
// the disk then, but no reader ever sees it, and the next writer cuts it off.
TEST_F(KillSafety, BigSavesSurviveKillsAimedAtTheMomentTheFileGrows) {
    autosaveKillLoop(path("mind.mdd"), path("home"), path("work"), VEBIX_AUTOSAVE_CHILD, "Sam!T",
                     false, "big saves killed as the file grows", 400, true);
}

TEST_F(KillSafety, WindowAutosaveSurvivesKillsWhileSaving) {
    autosaveKillLoop(path("home/Documents/Vebix.mdd"), path("home"), path("work"),
                     VEBIX_WINDOW_AUTOSAVE_CHILD, "Sam!TAG1", true, "window's autosave");
}

}  // namespace
}  // namespace vebix
