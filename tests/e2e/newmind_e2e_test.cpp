// Two copies of the built program making the same new mind at the same moment: two imports,
// and two bot-mode runs answering for a mind that does not exist yet. The mind must hold the
// template once and every line of both, each once.
#include <sys/wait.h>

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "childprocess.h"
#include "scratchfolder.h"
#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"

namespace vebix::e2e {
namespace {

std::vector<std::string> linesOf(const QString& path) {
    VebixAi mind;
    mind.loadFile(path.toStdString());
    return {mind.lines().begin(), mind.lines().end()};
}

// How many lines end with end.
std::size_t countOf(const std::vector<std::string>& lines, const std::string& end) {
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return l.ends_with(end); }));
}

std::vector<std::string> templateLines() {
    VebixAi t;
    t.loadText("template", templateMindText(), TextLines::Copied);
    return {t.lines().begin(), t.lines().end()};
}

// Starts every command at once and waits for all of them; their exit statuses.
std::vector<int> runTogether(const std::vector<std::vector<std::string>>& commands,
                             const std::vector<std::string>& folders,
                             const std::vector<std::string>& env) {
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < commands.size(); ++i)
        pids.push_back(spawn(commands[i], env, folders[i], false).pid);
    std::vector<int> statuses;
    for (pid_t pid : pids) {
        const Outcome o = runChild(pid, -1);
        statuses.push_back(WIFEXITED(o.status) ? WEXITSTATUS(o.status) : -1);
    }
    return statuses;
}

using NewMindE2E = ScratchFolderTest;

TEST_F(NewMindE2E, TwoImportsMakingOneMindKeepBoth) {
    const QString mind = path("work/new.mdd");
    write(path("work/a.txt"), [] {
        std::string text;
        for (int i = 0; i < 50; ++i) text += "from a " + std::to_string(i) + "\n";
        return text;
    }());
    write(path("work/b.txt"), [] {
        std::string text;
        for (int i = 0; i < 50; ++i) text += "from b " + std::to_string(i) + "\n";
        return text;
    }());
    const std::vector<std::string> env = baseEnvironment(path("home"));
    const std::string work = path("work").toStdString();
    const std::vector<std::string> tmpl = templateLines();
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        QFile::remove(mind);
        const std::vector<int> statuses =
            runTogether({{VEBIX_EXE, "learn", mind.toStdString(), "a.txt"},
                         {VEBIX_EXE, "learn", mind.toStdString(), "b.txt"}},
                        {work, work}, env);
        EXPECT_EQ(statuses, (std::vector<int>{0, 0}));
        const std::vector<std::string> lines = linesOf(mind);
        ASSERT_EQ(lines.size(), tmpl.size() + 100);
        EXPECT_TRUE(std::equal(tmpl.begin(), tmpl.end(), lines.begin()));
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(countOf(lines, " from a " + std::to_string(i)), 1u) << i;
            EXPECT_EQ(countOf(lines, " from b " + std::to_string(i)), 1u) << i;
        }
    }
}

// Bot mode makes a mind only where none is named: the default one in the documents folder.
TEST_F(NewMindE2E, TwoBotModeRunsOnAMindNotYetMadeKeepBothExchanges) {
    const QString mind = path("home/Documents/Vebix.mdd");
    const std::vector<std::string> env = baseEnvironment(path("home"));
    const std::vector<std::string> tmpl = templateLines();
    std::vector<std::string> folders;
    for (const char* who : {"Ann", "Bea"}) {
        const QString folder = path(QString::fromLatin1(who));
        ASSERT_TRUE(QDir().mkpath(folder));
        write(folder + "/UDLPX.NFO", "2\r\n0\r\nvebix\r\nVebix\r\nlearn=true\r\n");
        folders.push_back(folder.toStdString());
    }
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        QFile::remove(mind);
        for (const char* who : {"Ann", "Bea"})
            write(path(QString::fromLatin1(who)) + "/CHAT.MSG",
                  std::string(who) + "\r\nhello from " + who + "\r\n");
        const std::vector<int> statuses = runTogether({{VEBIX_EXE}, {VEBIX_EXE}}, folders, env);
        EXPECT_EQ(statuses, (std::vector<int>{0, 0}));
        const std::vector<std::string> lines = linesOf(mind);
        ASSERT_EQ(lines.size(), tmpl.size() + 4) << "the template is in the mind once";
        EXPECT_TRUE(std::equal(tmpl.begin(), tmpl.end(), lines.begin()));
        for (const std::string who : {"Ann", "Bea"})
            EXPECT_EQ(countOf(lines, who + "!" + who + " hello from " + who), 1u) << who;
        EXPECT_EQ(std::count_if(
                      lines.begin(), lines.end(),
                      [](const std::string& l) { return l.find(" <ai> ") != std::string::npos; }),
                  2);
    }
}

}  // namespace
}  // namespace vebix::e2e
