// An installed copy's bot, end to end: the bot's per-user folder made as Enable UDLP makes it,
// and the built program started there through the folder's link, as a link program starts it.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <string>

#include "scratchfolder.h"
#include "app/mind/vebixai.h"
#include "app/platform/filewrite.h"
#include "app/udlp/botfolder.h"
#include "app/udlp/udlpinfo.h"

namespace vebix {
namespace {

const std::string kMind =
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\n"
    "$ 1001 $a Hi.\r\n$ 1002 $b Hello there, nice to meet you.\r\n"
    "$ 1003 $a How are you today?\r\n$ 1004 $b I am fine, thanks.\r\n";
constexpr std::size_t kMindLines = 4;

using PerUserBotE2E = e2e::ScratchFolderTest;

TEST_F(PerUserBotE2E, TheProgramStartedThroughTheBotsLinkAnswersForTheBot) {
    write(path("mind.mdd"), kMind);
    const QString folder = path("home/.local/share/vebix/bots/Mo");
    const std::string link = prepareBotFolder(fromQPath(folder), VEBIX_EXE);
    writeUdlpFiles("Mo", fromQPath(path("mind.mdd")), true, link);
    ASSERT_TRUE(QFileInfo(toQPath(link)).isSymLink());
    write(folder + "/CHAT.MSG", "Bob\r\nHow are you today?\r\n");

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    env.insert("HOME", path("home"));
    env.insert("XDG_CONFIG_HOME", path("home/.config"));
    env.insert("XDG_DATA_HOME", path("home/.local/share"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(toQPath(link), {});
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        FAIL() << "vebix did not end";
    }
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    const std::string reply = read(folder + "/CHAT.MSG");
    ASSERT_GE(reply.size(), 3u) << reply;
    EXPECT_TRUE(reply.ends_with("\r\n")) << reply;
    EXPECT_NE(reply.substr(0, 3), "Bob") << reply;
    // The folder's UDLPX.NFO was the one read: its mind learned the exchange, and no default
    // mind was made in the documents folder.
    VebixAi ai;
    ai.loadFile(fromQPath(path("mind.mdd")));
    EXPECT_EQ(ai.lines().size(), kMindLines + 2);
    EXPECT_FALSE(QFileInfo::exists(path("home/Documents/Vebix.mdd")));
}

}  // namespace
}  // namespace vebix
