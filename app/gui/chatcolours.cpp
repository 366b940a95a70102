#include "app/gui/chatcolours.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace vebix {
namespace {

// The shades for a light ground. The grey is the darkest of the display's muted shades that
// still reads as muted next to black text; chatColours darkens it on grounds that need more.
const QColor kLightInfo(118, 118, 118);
const QColor kLightBotName(0, 128, 64);
const QColor kLightUserName(0, 0, 255);
const QColor kLightPartnerName(64, 0, 0);

// The same hues, lighter, for a dark ground: saturated blue or dark red on near-black cannot
// be read.
const QColor kDarkInfo(150, 150, 150);
const QColor kDarkBotName(96, 208, 152);
const QColor kDarkUserName(140, 140, 255);
const QColor kDarkPartnerName(255, 140, 140);

double channel(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

// Moves shade's HSL lightness away from ground in small steps (its hue and saturation kept)
// until it stands out by kMinChatContrast, or lightness runs out.
QColor readableOn(const QColor& ground, const QColor& shade, bool darkGround) {
    QColor colour = shade.toHsl();
    const float hue = colour.hslHueF();
    const float saturation = colour.hslSaturationF();
    float lightness = colour.lightnessF();
    constexpr float kStep = 1.0F / 255.0F;
    while (contrastRatio(colour, ground) < kMinChatContrast) {
        if (darkGround ? lightness >= 1.0F : lightness <= 0.0F) break;
        lightness = std::clamp(lightness + (darkGround ? kStep : -kStep), 0.0F, 1.0F);
        colour = QColor::fromHslF(hue, saturation, lightness);
    }
    return colour.toRgb();
}

}  // namespace

QColor ChatColours::of(ChatRole role) const {
    switch (role) {
        case ChatRole::Info:
            return info;
        case ChatRole::BotName:
            return botName;
        case ChatRole::UserName:
            return userName;
        case ChatRole::PartnerName:
            return partnerName;
        case ChatRole::Text:
            break;
    }
    return text;
}

double relativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

ChatColours chatColours(const QPalette& palette) {
    const QColor ground = palette.color(QPalette::Active, QPalette::Base);
    // Decided by luminance, not HSL lightness: a saturated blue ground is dark to the eye.
    const bool dark = relativeLuminance(ground) < 0.18;
    auto pick = [&](const QColor& light, const QColor& darkShade) {
        return readableOn(ground, dark ? darkShade : light, dark);
    };
    ChatColours colours;
    colours.info = pick(kLightInfo, kDarkInfo);
    colours.text = palette.color(QPalette::Active, QPalette::Text);
    colours.botName = pick(kLightBotName, kDarkBotName);
    colours.userName = pick(kLightUserName, kDarkUserName);
    colours.partnerName = pick(kLightPartnerName, kDarkPartnerName);
    return colours;
}

}  // namespace vebix
