// The dialogs' own colours come from the desktop's palette: on a dark theme every coloured text
// still stands out from its ground.
#include <QEnterEvent>
#include <QImage>
#include <QPalette>

#include "app/gui/chatcolours.h"
#include "app/gui/findudlpbotform.h"
#include "app/gui/udlpform.h"
#include "guitestsupport.h"

namespace vebix {
namespace {

using testing::child;

// A dark theme whose link colour differs from its text colour.
QPalette darkPalette() {
    QPalette p;
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 30);
    const QColor text(230, 230, 230);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, window);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Highlight, QColor(38, 79, 120));
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::Link, QColor(120, 170, 255));
        p.setColor(group, QPalette::PlaceholderText, QColor(150, 150, 150));
    }
    return p;
}

class DarkPalette : public testing::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        old_ = QApplication::palette();
        QApplication::setPalette(darkPalette());
    }
    void TearDown() override {
        QApplication::setPalette(old_);
        WindowTest::TearDown();
    }

    // The colour of widget's text role against its ground role, as it paints them.
    static double contrastOf(const QWidget& widget) {
        const QPalette& p = widget.palette();
        return contrastRatio(p.color(widget.foregroundRole()), p.color(widget.backgroundRole()));
    }

    QPalette old_;
};

TEST_F(DarkPalette, TheFindUdlpBotListReadsOnTheDarkGround) {
    QDir(tmp_.path()).mkpath("opt/Far");
    testing::writeBytes(path("opt/Far/UDLP.NFO"), "2\r\n0\r\nbot.bin\r\nAnnabel\r\n");
    QDir(tmp_.path()).mkpath("home/Desktop");
    FindUdlpBotForm form(prompts_, nullptr, spath("home/Me.mdd"),
                         BotSearchPlaces{spath("opt"), spath("home"), spath("home/Desktop")});
    auto* searching = child<QLabel>(&form, "searchLabel");
    auto* list = child<QListWidget>(&form, "knownBotsList");
    const QColor base = darkPalette().color(QPalette::Base);
    EXPECT_EQ(list->palette().color(QPalette::Base), base);
    EXPECT_EQ(searching->palette().color(searching->backgroundRole()), base);
    EXPECT_GE(contrastOf(*searching), kMinChatContrast);
    EXPECT_GE(contrastRatio(list->palette().color(QPalette::Text), base), kMinChatContrast);
    EXPECT_GE(contrastRatio(BotRowDelegate::folderColour(list->palette()), base), kMinChatContrast);

    // As painted: the strongest pixel of the folder's text (right of the name) stands out by
    // as much, and the row is on the dark ground.
    form.show();
    form.runInitialSearch();
    ASSERT_EQ(list->count(), 1);
    list->clearSelection();
    list->setCurrentRow(-1);
    const QImage image = list->viewport()->grab().toImage();
    const qreal scale = image.devicePixelRatio();
    const QRect row = list->visualItemRect(list->item(0));
    double strongest = 1.0;
    for (int x = row.x() + 96; x < row.right(); ++x) {
        for (int y = row.top(); y <= row.bottom(); ++y) {
            const QColor pixel = image.pixelColor(QPoint(x, y) * scale);
            strongest = std::max(strongest, contrastRatio(pixel, base));
        }
    }
    EXPECT_GE(strongest, kMinChatContrast);
    EXPECT_EQ(image.pixelColor(QPoint(row.x() + 21, row.y() + 1) * scale).toRgb(), base);
}

TEST_F(DarkPalette, TheUdlpLinkTakesTheThemesLinkColourWhileHovered) {
    UdlpForm form(nullptr, nullptr, prompts_, programPath());
    form.show();
    auto* link = child<QLabel>(&form, "linkShellLabel");
    const QPalette dark = darkPalette();
    const QColor ground = form.palette().color(QPalette::Window);
    ASSERT_EQ(ground, dark.color(QPalette::Window));

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), link->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(link, &enter);
    EXPECT_EQ(link->palette().color(link->foregroundRole()), dark.color(QPalette::Link));
    EXPECT_GE(contrastOf(*link), kMinChatContrast);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->palette().color(link->foregroundRole()), dark.color(QPalette::WindowText));
    EXPECT_GE(contrastOf(*link), kMinChatContrast);
}

}  // namespace
}  // namespace vebix
