// The conversation's colours: readable (4.5:1 against the ground) on light and dark palettes,
// the same hues on both, today's shades on a light ground.
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include <memory>

#include <gtest/gtest.h>

#include "app/gui/chatcolours.h"

namespace vebix {
namespace {

QPalette paletteOf(QColor base, QColor text) {
    QPalette palette;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, base);
        palette.setColor(group, QPalette::Text, text);
    }
    return palette;
}

QPalette fusionLight() {
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion->standardPalette();
}

const ChatRole kRoles[] = {ChatRole::Info, ChatRole::Text, ChatRole::BotName, ChatRole::UserName,
                           ChatRole::PartnerName};

const char* roleName(ChatRole role) {
    switch (role) {
        case ChatRole::Info:
            return "info";
        case ChatRole::Text:
            return "text";
        case ChatRole::BotName:
            return "bot name";
        case ChatRole::UserName:
            return "user name";
        case ChatRole::PartnerName:
            return "partner name";
    }
    return "?";
}

TEST(ChatColoursTest, ContrastFollowsTheWcagFormula) {
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::white, Qt::black), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(QColor(90, 40, 200), QColor(90, 40, 200)), 1.0);
    EXPECT_DOUBLE_EQ(relativeLuminance(Qt::white), 1.0);
    EXPECT_DOUBLE_EQ(relativeLuminance(Qt::black), 0.0);
    // Pure green weighs most, blue least; sRGB mid grey is about 0.2159.
    EXPECT_NEAR(relativeLuminance(Qt::green), 0.7152, 1e-9);
    EXPECT_NEAR(relativeLuminance(Qt::blue), 0.0722, 1e-9);
    EXPECT_NEAR(relativeLuminance(QColor(128, 128, 128)), 0.2159, 1e-4);
    EXPECT_NEAR(contrastRatio(QColor(118, 118, 118), Qt::white), 4.54, 0.01);
    EXPECT_LT(contrastRatio(QColor(119, 119, 119), Qt::white), 4.5 + 0.05);
}

TEST(ChatColoursTest, EveryColourReadsOnLightAndDarkPalettes) {
    struct Case {
        const char* what;
        QPalette palette;
        bool dark;
    };
    const Case cases[] = {
        {"Fusion light", fusionLight(), false},
        {"the old light grey ground", paletteOf(QColor(244, 244, 244), Qt::black), false},
        {"pure white", paletteOf(Qt::white, Qt::black), false},
        {"a typical dark theme", paletteOf(QColor(0x23, 0x26, 0x29), QColor(0xef, 0xf0, 0xf1)),
         true},
        {"pure black", paletteOf(Qt::black, Qt::white), true},
        {"a dark blue ground", paletteOf(QColor(0, 0, 96), QColor(230, 230, 230)), true},
    };
    const ChatColours light = chatColours(paletteOf(Qt::white, Qt::black));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ChatColours colours = chatColours(c.palette);
        const QColor base = c.palette.color(QPalette::Active, QPalette::Base);
        for (ChatRole role : kRoles) {
            const QColor colour = colours.of(role);
            EXPECT_GE(contrastRatio(colour, base), kMinChatContrast)
                << roleName(role) << " " << colour.name().toStdString() << " on "
                << base.name().toStdString();
        }
        EXPECT_EQ(colours.text, c.palette.color(QPalette::Active, QPalette::Text));
        // The meaning stays: grey, green, blue and red whatever the ground.
        EXPECT_EQ(colours.info.hsvSaturation(), 0);
        EXPECT_NEAR(colours.botName.hsvHue(), 150, 2);
        EXPECT_NEAR(colours.userName.hsvHue(), 240, 2);
        EXPECT_EQ(colours.partnerName.hsvHue(), 0);
        // Lighter shades on a dark ground, and the muted grey further from the text.
        for (ChatRole role :
             {ChatRole::Info, ChatRole::BotName, ChatRole::UserName, ChatRole::PartnerName}) {
            if (c.dark) {
                EXPECT_GT(colours.of(role).lightness(), light.of(role).lightness())
                    << roleName(role);
            } else {
                EXPECT_LE(colours.of(role).lightness(), light.of(role).lightness())
                    << roleName(role);
            }
        }
        EXPECT_LT(contrastRatio(colours.info, base), contrastRatio(colours.text, base));
    }
}

TEST(ChatColoursTest, TheLightShadesAreTheClassicOnesWithTheGreyDarkenedJustEnough) {
    const ChatColours colours = chatColours(fusionLight());
    EXPECT_EQ(colours.botName, QColor(0, 128, 64));
    EXPECT_EQ(colours.userName, QColor(0, 0, 255));
    EXPECT_EQ(colours.partnerName, QColor(64, 0, 0));
    EXPECT_EQ(colours.text, fusionLight().color(QPalette::Active, QPalette::Text));
    // The old grey (176) reads at under 2:1; the lightest grey that reaches 4.5:1 on white.
    EXPECT_LT(contrastRatio(QColor(176, 176, 176), Qt::white), 2.2);
    EXPECT_EQ(colours.info, QColor(118, 118, 118));
    EXPECT_LT(contrastRatio(QColor(119, 119, 119), Qt::white), kMinChatContrast);
}

TEST(ChatColoursTest, AShadeTooCloseToTheGroundIsMovedJustFarEnough) {
    // On a light grey ground the grey darkens past its light shade, to just 4.5:1.
    const QColor ground(224, 224, 224);
    const ChatColours colours = chatColours(paletteOf(ground, Qt::black));
    EXPECT_LT(colours.info.lightness(), 118);
    EXPECT_GE(contrastRatio(colours.info, ground), kMinChatContrast);
    const QColor oneLighter = QColor::fromHsl(0, 0, colours.info.lightness() + 2);
    EXPECT_LT(contrastRatio(oneLighter, ground), kMinChatContrast);
}

}  // namespace
}  // namespace vebix
