// Renders the main window with a short conversation twice, on the Fusion style's light palette
// and on a typical dark one, to OUTDIR/screenshot-light.png and OUTDIR/screenshot-dark.png.
// Run it on a display (a virtual one will do); it keeps its settings and mind in a temporary
// home folder, never the person's own.
#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QPixmap>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#include "app/gui/windowmode.h"
#include "guitestsupport.h"

namespace {

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x31, 0x36, 0x3b), base(0x23, 0x26, 0x29), text(0xef, 0xf0, 0xf1);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, base);
    p.setColor(QPalette::Light, QColor(0x4a, 0x50, 0x57));
    p.setColor(QPalette::Midlight, QColor(0x3f, 0x45, 0x4b));
    p.setColor(QPalette::Mid, QColor(0x27, 0x2b, 0x2f));
    p.setColor(QPalette::Dark, QColor(0x1b, 0x1e, 0x20));
    p.setColor(QPalette::Shadow, QColor(0x12, 0x14, 0x15));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x6e, 0x71, 0x75));
    return p;
}

bool render(const QString& file, const QPalette& palette, const vebix::StartupChoice& start,
            vebix::testing::ScriptedPrompts& prompts) {
    QApplication::setPalette(palette);
    vebix::testing::answerNamePrompt(prompts, QStringLiteral("Ann"));
    vebix::testing::TestForm form(prompts, start);
    form.engine = [](const std::string& line) {
        if (line.find("weather") != std::string::npos) return std::string("Sunny, I hope.");
        return std::string("Hello Ann, nice to meet you.");
    };
    form.show();
    QCoreApplication::processEvents();
    if (!form.keeper().bot()) return false;
    for (const char* line : {"hi there", "how is the weather?"}) {
        vebix::testing::typeInto(form.findChild<QLineEdit*>(QStringLiteral("input")),
                                 QString::fromUtf8(line));
        vebix::testing::click(form.findChild<QPushButton*>(QStringLiteral("sayBtn")));
        QCoreApplication::processEvents();
    }
    const bool saved = form.grab().save(file);
    form.close();
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    QDir(home.path()).mkpath(QStringLiteral("Documents"));
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, home.path().toLocal8Bit());
    qputenv("XDG_DOCUMENTS_DIR", (home.path() + QStringLiteral("/Documents")).toLocal8Bit());

    vebix::testing::ScriptedPrompts prompts;
    prompts.setAutoAnswer(QMessageBox::Ok);
    vebix::Application app(argc, argv, prompts);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    vebix::FakeClock fake;
    vebix::ScopedClock scoped(fake);

    vebix::StartupChoice start = vebix::prepareWindowMode(nullptr, prompts);
    start.localTag = "TAG1";
    start.delayResponses = false;

    const QString out = QString::fromLocal8Bit(argv[1]);
    const QPalette light = QApplication::style()->standardPalette();
    if (!render(out + QStringLiteral("/screenshot-light.png"), light, start, prompts) ||
        !render(out + QStringLiteral("/screenshot-dark.png"), darkPalette(), start, prompts)) {
        std::fprintf(stderr, "the window could not be rendered\n");
        return 1;
    }
    return 0;
}
