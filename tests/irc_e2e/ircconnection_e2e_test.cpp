// The connection in process against the real server, with the program's clock replaced: the
// waits before connecting again grow while the server is down and start over after a connection
// that held, and a server that stops answering is asked, then left. Minutes pass on the fake
// clock in no time; the sockets and the server are real.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

#include "app/irc/botlog.h"
#include "app/irc/ircconnection.h"
#include "engine/base/random.h"
#include "ircrig.h"
#include "support/fakeclock.h"

namespace vebix::irc {

// The connection's inside, for these tests only.
class IrcConnectionTestAccess {
public:
    static void setTiming(IrcConnection& c, const IrcConnection::Timing& timing) {
        c.timing_ = timing;
        c.queue_ = SendQueue(timing.pace);
        c.backoff_ = Backoff(timing.backoff);
    }
    // Acts on what is due at the fake clock's time.
    static void service(IrcConnection& c) { c.service(); }
    static bool waitingToConnect(const IrcConnection& c) {
        return c.state_ == IrcConnection::State::Waiting;
    }
    static std::uint64_t reconnectAt(const IrcConnection& c) { return c.reconnectAt_; }
};

namespace {

using irc_e2e::Ngircd;

class IrcConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(*VEBIX_NGIRCD)
            << "ngircd is not installed (scripts/vebix-dev test installs it)";
        rng::seed(11);
        server_ = std::make_unique<Ngircd>(tmp_.path().toStdString(), Ngircd::Options{});
        server_->start();
        Identity id;
        id.nick = "robo";
        id.channels = {"#room"};
        ServerAddress address{"127.0.0.1", server_->port(), false, true, {}};
        connection_ = std::make_unique<IrcConnection>(address, id, log_);
        IrcConnectionTestAccess::setTiming(*connection_, timing_);
    }
    void TearDown() override {
        connection_.reset();
        server_.reset();
    }

    // Runs the event loop until done() holds (false after the guard).
    bool until(const std::function<bool()>& done) {
        QDeadlineTimer deadline(irc_e2e::kGuard.count());
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
            if (server_->process()) server_->process()->drain();
        }
        return done();
    }
    bool joined() { return connection_->isIn("#room"); }
    bool waiting() { return IrcConnectionTestAccess::waitingToConnect(*connection_); }
    // The wait before the next attempt, as the connection set it just now.
    std::uint64_t waitSet() {
        return IrcConnectionTestAccess::reconnectAt(*connection_) - clock_.tickMs();
    }
    // Lets the wait pass on the clock and the connection act on it.
    void passWait() {
        clock_.advanceMs(waitSet());
        IrcConnectionTestAccess::service(*connection_);
    }

    FakeClock clock_;
    ScopedClock scoped_{clock_};
    QTemporaryDir tmp_;
    std::ostringstream logText_;
    BotLog log_{logText_, true};
    IrcConnection::Timing timing_;
    std::unique_ptr<Ngircd> server_;
    std::unique_ptr<IrcConnection> connection_;
};

TEST_F(IrcConnectionTest, WaitsGrowWhileTheServerIsDownAndStartOverAfterAConnectionThatHeld) {
    connection_->start();
    ASSERT_TRUE(until([&] { return joined(); })) << logText_.str();
    server_->stop();
    ASSERT_TRUE(until([&] { return waiting(); }));
    std::uint64_t step = timing_.backoff.firstMs;
    for (int attempt = 0; attempt < 4; ++attempt, step *= 2) {
        const std::uint64_t wait = waitSet();
        EXPECT_LE(wait, step) << attempt;
        EXPECT_GE(wait, step * 3 / 4) << attempt;
        // Nothing happens before the wait is over...
        clock_.advanceMs(wait - 1);
        IrcConnectionTestAccess::service(*connection_);
        EXPECT_TRUE(waiting());
        // ...then it tries, is refused by the closed port, and waits longer.
        clock_.advanceMs(1);
        IrcConnectionTestAccess::service(*connection_);
        ASSERT_TRUE(until([&] { return waiting(); })) << logText_.str();
    }
    server_->start();
    passWait();
    ASSERT_TRUE(until([&] { return joined(); })) << logText_.str();
    // Held long enough: the next loss waits the first wait again.
    clock_.advanceMs(timing_.stableMs);
    server_->stop();
    ASSERT_TRUE(until([&] { return waiting(); }));
    EXPECT_LE(waitSet(), timing_.backoff.firstMs);
}

TEST_F(IrcConnectionTest, AServerThatStopsAnsweringIsAskedThenLeft) {
    connection_->start();
    ASSERT_TRUE(until([&] { return joined(); })) << logText_.str();
    server_->pause();
    clock_.advanceMs(timing_.quietMs - 1);
    IrcConnectionTestAccess::service(*connection_);
    EXPECT_EQ(logText_.str().find(">>> PING"), std::string::npos);
    clock_.advanceMs(1);
    IrcConnectionTestAccess::service(*connection_);
    EXPECT_NE(logText_.str().find(">>> PING :vebix"), std::string::npos);
    EXPECT_TRUE(joined());
    clock_.advanceMs(timing_.pingAnswerMs);
    IrcConnectionTestAccess::service(*connection_);
    EXPECT_TRUE(waiting());
    EXPECT_NE(logText_.str().find("no answer from the server"), std::string::npos);
    server_->resume();
    passWait();
    ASSERT_TRUE(until([&] { return joined(); })) << logText_.str();
}

TEST_F(IrcConnectionTest, QuittingClosesAndSaysSo) {
    connection_->start();
    ASSERT_TRUE(until([&] { return joined(); }));
    bool finished = false;
    QObject::connect(connection_.get(), &IrcConnection::finished, [&] { finished = true; });
    connection_->quit("bye now");
    ASSERT_TRUE(until([&] { return finished; }));
    EXPECT_NE(logText_.str().find(">>> QUIT :bye now"), std::string::npos);
    EXPECT_FALSE(connection_->isRegistered());
    // Quitting while waiting to connect again finishes at once.
    auto other = std::make_unique<IrcConnection>(
        ServerAddress{"127.0.0.1", irc_e2e::freePort(), false, true, {}},
        Identity{"robo2", "v", "V", {}, {}, {}, {"#room"}, {}}, log_);
    bool otherFinished = false;
    QObject::connect(other.get(), &IrcConnection::finished, [&] { otherFinished = true; });
    other->start();
    ASSERT_TRUE(until([&] { return IrcConnectionTestAccess::waitingToConnect(*other); }));
    other->quit("bye");
    ASSERT_TRUE(until([&] { return otherFinished; }));
}

}  // namespace
}  // namespace vebix::irc
