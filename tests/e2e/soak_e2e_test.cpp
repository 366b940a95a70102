// Many bot-mode exchanges against one mind with learning on, each a run of the built program:
// every run answers, the mind grows by exactly two lines per exchange, in order, and still
// loads. In the sanitizer build every run is also checked for leaks (a run that leaks ends with
// a failure status). The count is small in the ordinary test run; scripts/soak.sh runs 10,000
// (VEBIX_SOAK_EXCHANGES).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "childprocess.h"
#include "core/templatemind.h"
#include "core/vebixai.h"

namespace vebix {
namespace {

long exchangeCount() {
    if (const char* v = std::getenv("VEBIX_SOAK_EXCHANGES")) return std::max(1L, std::atol(v));
#ifdef VEBIX_SANITIZED
    return 60;
#else
    return 300;
#endif
}

// Messages from the conversation corpus, numbered so that each is told apart.
std::vector<std::string> corpusLines(std::size_t count) {
    std::ifstream in(std::string(VEBIX_SHARED_DIR) + "/corpus/chatterbot_en.txt", std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; out.size() < count && std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    if (out.empty()) out.push_back("hello there");
    return out;
}

TEST(Soak, BotModeExchangesGrowTheMindByTwoLinesEach) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QDir root(tmp.path());
    root.mkpath("home/.config");
    root.mkpath("home/Documents");
    root.mkpath("work");
    const std::string mind = root.filePath("mind.mdd").toStdString();
    {
        QFile f(QString::fromStdString(mind));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const std::string_view t = templateMindText();
        f.write(t.data(), static_cast<qint64>(t.size()));
        QFile nfo(root.filePath("work/UDLPX.NFO"));
        ASSERT_TRUE(nfo.open(QIODevice::WriteOnly));
        nfo.write(("2\r\n0\r\nvebix\r\nVebix\r\nmind=" + mind + "\r\nlearn=true\r\n").c_str());
    }
    VebixAi start;
    const std::size_t startLines = start.loadFile(mind);

    const long n = exchangeCount();
    const std::vector<std::string> messages = corpusLines(500);
    const std::vector<std::string> env = e2e::baseEnvironment(root.filePath("home"));
    const std::string work = root.filePath("work").toStdString();
    for (long i = 0; i < n; ++i) {
        const std::string message = messages[static_cast<std::size_t>(i) % messages.size()] +
                                    " #" + std::to_string(i);
        {
            QFile req(root.filePath("work/CHAT.MSG"));
            ASSERT_TRUE(req.open(QIODevice::WriteOnly | QIODevice::Truncate));
            req.write(("Ann\r\n" + message + "\r\n").c_str());
        }
        e2e::Child child = e2e::spawn({VEBIX_EXE}, env, work, false);
        ASSERT_GT(child.pid, 0);
        e2e::Outcome o = e2e::runChild(child.pid, -1);
        ASSERT_TRUE(WIFEXITED(o.status) && WEXITSTATUS(o.status) == 0)
            << "exchange " << i << " ended with status " << o.status;
    }

    VebixAi after;
    ASSERT_NO_THROW(after.loadFile(mind));
    ASSERT_EQ(after.lines.size(), startLines + 2 * static_cast<std::size_t>(n));
    for (long i = 0; i < n; ++i) {
        const std::string_view heard = after.lines[startLines + 2 * static_cast<std::size_t>(i)];
        const std::string_view said = after.lines[startLines + 2 * static_cast<std::size_t>(i) + 1];
        ASSERT_TRUE(heard.starts_with("Ann!Ann ") && heard.ends_with(" #" + std::to_string(i)))
            << heard;
        ASSERT_TRUE(said.starts_with("Ann!Ann ") &&
                    said.find(" <ai> ") != std::string_view::npos)
            << said;
    }
    std::cout << n << " exchanges; the mind grew from " << startLines << " to "
              << after.lines.size() << " lines\n";
}

}  // namespace
}  // namespace vebix
