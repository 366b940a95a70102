#include "app/platform/interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <cerrno>
#include <stdexcept>

namespace vebix {
namespace {

// A signal handler may touch only lock-free atomics and async-signal-safe calls, so the state
// it writes is process-wide; the watch that installs it is the only reader.
std::atomic<bool> g_requested{false};
std::atomic<int> g_signal{0};
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[3];
constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int number) {
    const int savedErrno = errno;
    int expected = 0;
    g_signal.compare_exchange_strong(expected, number);
    g_requested.store(true);
    const char byte = static_cast<char>(number);
    [[maybe_unused]] ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

InterruptWatch::InterruptWatch(QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0) throw std::logic_error("Only one InterruptWatch may exist at a time");
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("Unable to create a pipe for the interrupt watch");
    g_requested.store(false);
    g_signal.store(0);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &InterruptWatch::drain);
}

InterruptWatch::~InterruptWatch() {
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete notifier_;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool InterruptWatch::requested() const { return g_requested.load(); }
int InterruptWatch::signalNumber() const { return g_signal.load(); }
const std::atomic<bool>& InterruptWatch::flag() const { return g_requested; }

void InterruptWatch::drain() {
    char bytes[16];
    ssize_t got;
    while ((got = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < got; ++i) emit interrupted(static_cast<unsigned char>(bytes[i]));
}

}  // namespace vebix
