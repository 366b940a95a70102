// Many bot-mode exchanges against one mind with learning on, each a run of the built program:
// every run answers, the mind grows by exactly two lines per exchange, in order, and still
// loads. In the sanitizer build every run is also checked for leaks (a run that leaks ends with
// a failure status). The count is small in the ordinary test run; scripts/soak.sh runs 10,000
// (VEBIX_SOAK_EXCHANGES; VEBIX_SOAK_PROGRAM names another copy of the program to run, so that
// a long soak is not disturbed by a rebuild). Link mode against a second copy runs 1,000 turns
// (VEBIX_SOAK_LINK_TURNS; 100 in the sanitizer build).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <fstream>
#include <mutex>
#include <thread>
#include <iostream>
#include <string>
#include <vector>

#include "support/fakeclock.h"
#include "engine/base/random.h"
#include "childprocess.h"
#include "app/udlp/linkloop.h"
#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"

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
    std::ifstream in(VEBIX_TEST_DATA_DIR "/corpus/chatterbot_en.txt", std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; out.size() < count && std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
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
    ASSERT_EQ(messages.size(), 500u);
    const std::vector<std::string> env = e2e::baseEnvironment(root.filePath("home"));
    const std::string work = root.filePath("work").toStdString();
    const char* program = std::getenv("VEBIX_SOAK_PROGRAM");
    const std::string exe = program && *program ? program : VEBIX_EXE;
    for (long i = 0; i < n; ++i) {
        const std::string message =
            messages[static_cast<std::size_t>(i) % messages.size()] + " #" + std::to_string(i);
        {
            QFile req(root.filePath("work/CHAT.MSG"));
            ASSERT_TRUE(req.open(QIODevice::WriteOnly | QIODevice::Truncate));
            req.write(("Ann\r\n" + message + "\r\n").c_str());
        }
        e2e::Child child = e2e::spawn({exe}, env, work, false);
        ASSERT_GT(child.pid, 0);
        e2e::Outcome o = e2e::runChild(child.pid, -1);
        ASSERT_TRUE(WIFEXITED(o.status) && WEXITSTATUS(o.status) == 0)
            << "exchange " << i << " ended with status " << o.status;
        if ((i + 1) % 1000 == 0) std::cout << i + 1 << " exchanges" << std::endl;
    }

    VebixAi after;
    ASSERT_NO_THROW(after.loadFile(mind));
    ASSERT_EQ(after.lines().size(), startLines + 2 * static_cast<std::size_t>(n));
    for (long i = 0; i < n; ++i) {
        const std::size_t at = startLines + 2 * static_cast<std::size_t>(i);
        const std::string_view heard = after.lines()[at];
        const std::string_view said = after.lines()[at + 1];
        ASSERT_TRUE(heard.starts_with("Ann!Ann ") && heard.ends_with(" #" + std::to_string(i)))
            << heard;
        ASSERT_TRUE(said.starts_with("Ann!Ann ") && said.find(" <ai> ") != std::string_view::npos)
            << said;
    }
    std::cout << n << " exchanges; the mind grew from " << startLines << " to "
              << after.lines().size() << " lines\n";
}

long linkTurns() {
    if (const char* v = std::getenv("VEBIX_SOAK_LINK_TURNS")) return std::max(1L, std::atol(v));
#ifdef VEBIX_SANITIZED
    return 100;
#else
    return 1000;
#endif
}

// The loaded side of link mode: counts what the loop shows and stops it after a number of the
// loaded bot's lines.
class CountingWindow : public LinkLoop::Window {
public:
    explicit CountingWindow(long stopAfter) : stopAfter_(stopAfter) {}
    void showBotLine(std::string_view) override {
        if (++botLines >= stopAfter_ && loop) loop->requestStop();
    }
    void showPartnerLine(std::string_view, std::string_view) override { ++partnerLines; }
    void showInfo(std::string_view text) override { infos.emplace_back(text); }
    void setStatus(std::string_view) override {}
    void showError(std::string_view text) override { errors.emplace_back(text); }
    void markLearned() override { learned = true; }

    long botLines = 0, partnerLines = 0;
    std::vector<std::string> infos, errors;
    bool learned = false;
    LinkLoop* loop = nullptr;

private:
    long stopAfter_;
};

// Link mode against a second copy of the program: the loop runs on a thread of its own, as in
// the window, handing its window work to this thread; the other copy answers every turn in bot
// mode with learning on. Both minds must grow by exactly what was said and load.
TEST(Soak, LinkedCopiesTalkForManyTurns) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QDir root(tmp.path());
    root.mkpath("other");
    const std::string ownMind = root.filePath("own.mdd").toStdString();
    const std::string otherMind = root.filePath("other.mdd").toStdString();
    for (const std::string& m : {ownMind, otherMind}) {
        QFile f(QString::fromStdString(m));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const std::string_view t = templateMindText();
        f.write(t.data(), static_cast<qint64>(t.size()));
    }
    {
        QFile nfo(root.filePath("other/UDLPX.NFO"));
        ASSERT_TRUE(nfo.open(QIODevice::WriteOnly));
        nfo.write(("2\r\n0\r\nvebix\r\nOther\r\nmind=" + otherMind +
                   "\r\nlearn=true\r\nshowerrors=false\r\n")
                      .c_str());
    }
    // The other copy is started by the loop with this process's environment.
    qputenv("HOME", root.filePath("other").toUtf8());
    qputenv("XDG_CONFIG_HOME", root.filePath("other").toUtf8());
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");

    auto engine = std::make_shared<VebixAi>();
    engine->loadFile(ownMind);
    engine->setName(engine->botName());
    const std::size_t ownBefore = engine->lines().size();
    VebixAi otherStart;
    const std::size_t otherBefore = otherStart.loadFile(otherMind);

    const long turns = linkTurns();
    rng::seed(5);
    // The pause between turns passes at once; the other bot is waited for as long as it takes.
    FakeClock fake;
    ScopedClock scoped(fake);
    CountingWindow window(turns);
    UdlpInfo own;
    own.learn = true;
    std::mutex windowThread;  // this thread plays the window thread: one piece of work at a time
    LinkLoop loop(engine, LinkBot{"Other", root.filePath("other").toStdString(), VEBIX_EXE}, own,
                  window, [&](const std::function<void()>& work) {
                      std::lock_guard<std::mutex> lock(windowThread);
                      work();
                  });
    window.loop = &loop;
    std::thread link([&] { loop.run(); });
    link.join();

    EXPECT_TRUE(window.errors.empty()) << window.errors.front();
    EXPECT_TRUE(window.infos.empty()) << window.infos.front();
    EXPECT_EQ(window.botLines, turns);
    EXPECT_EQ(window.partnerLines, turns - 1);  // the last line is never sent
    engine->saveFrom(ownBefore);

    VebixAi ownAfter, otherAfter;
    ASSERT_NO_THROW(ownAfter.loadFile(ownMind));
    ASSERT_NO_THROW(otherAfter.loadFile(otherMind));
    // The other copy learned each line it was sent and its answer; this side learned its own
    // lines that were answered and the answers.
    EXPECT_EQ(otherAfter.lines().size(), otherBefore + 2 * static_cast<std::size_t>(turns - 1));
    EXPECT_EQ(ownAfter.lines().size(), engine->lines().size());
    EXPECT_GE(ownAfter.lines().size(), ownBefore + 2 * static_cast<std::size_t>(turns - 1));
    std::cout << turns << " link turns; the minds grew from " << ownBefore << " to "
              << ownAfter.lines().size() << " and from " << otherBefore << " to "
              << otherAfter.lines().size() << " lines\n";
}

}  // namespace
}  // namespace vebix
