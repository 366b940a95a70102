// The main window's autosave, for the kill tests: the real window on the offscreen platform,
// keeping the mind at the path given as the only argument. The user Sam types one line after
// another ("autosave check <n>", answered "reply to <n>"); after each line the window's own
// autosave timer, set to fire at once, runs on a fake clock moved on by 200 seconds, and so
// saves. After every save the number of the line just saved goes to standard output, one per
// line. Runs until it is killed.
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <string>
#include <string_view>

#include "app/gui/windowmode.h"
#include "guitestsupport.h"

namespace {

constexpr std::string_view kPrefix = "autosave check ";

// The number of the last line Sam said in the mind, or -1.
long lastExchange(const vebix::VebixAi& bot) {
    for (std::size_t i = bot.lines().size(); i-- > 0;) {
        std::string_view line = bot.lines()[i];
        std::size_t at = line.rfind(kPrefix);
        if (at != std::string_view::npos && line.find(" <ai> ") == std::string_view::npos)
            return std::stol(std::string(line.substr(at + kPrefix.size())));
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MIND\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    vebix::testing::ScriptedPrompts prompts_;
    prompts_.setAutoAnswer(QMessageBox::Ok);
    vebix::Application app(argc, argv, prompts_);
    vebix::FakeClock fake;
    vebix::ScopedClock scoped(fake);
    vebix::StartupChoice start = vebix::prepareWindowMode(nullptr, prompts_);
    start.mindPath = argv[1];
    start.localTag = "TAG1";
    start.delayResponses = false;

    vebix::testing::answerNamePrompt(prompts_, "Sam");
    vebix::testing::TestForm form(prompts_, start);
    form.engine = [](const std::string& line) {
        return "reply to " + line.substr(line.rfind(' ') + 1);
    };
    form.show();
    QCoreApplication::processEvents();
    if (!form.keeper().bot()) {
        std::fprintf(stderr, "the mind did not load\n");
        return 1;
    }
    auto* timer = form.findChild<QTimer*>("autosaveTimer");
    auto* input = form.findChild<QLineEdit*>("input");
    if (!timer || !input) return 1;
    timer->setInterval(0);
    for (long n = lastExchange(*form.keeper().bot()) + 1;; ++n) {
        input->setText(QString::fromStdString(std::string(kPrefix) + std::to_string(n)));
        form.say();
        fake.advanceSeconds(200);
        QCoreApplication::processEvents();
        if (form.keeper().hasUnsavedLines()) {
            std::fprintf(stderr, "the timer did not save\n");
            return 1;
        }
        const std::string report = std::to_string(n) + "\n";
        if (::write(STDOUT_FILENO, report.data(), report.size()) !=
            static_cast<ssize_t>(report.size()))
            return 1;
    }
}
