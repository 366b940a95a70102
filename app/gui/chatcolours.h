#pragma once
// The colours of the conversation display, chosen for the palette it is painted with. The
// conversation keeps its meaning through colour in light and dark themes alike: the mind's path
// and the angle brackets muted, the bot's name green, the person's name blue, the other bot's
// name dark red, the words in the palette's text colour.

#include <QColor>

class QPalette;

namespace vebix {

// What a run of the conversation is; it decides the run's colour.
enum class ChatRole { Info, Text, BotName, UserName, PartnerName };

struct ChatColours {
    QColor info;
    QColor text;
    QColor botName;
    QColor userName;
    QColor partnerName;

    QColor of(ChatRole role) const;
};

// The least contrast every colour reaches against the display's ground (WCAG 2, normal text).
inline constexpr double kMinChatContrast = 4.5;

// The colours for a display painted with palette (its active Base and Text). On a light ground
// the display's classic shades; on a dark one lighter shades of the same hues. A shade that
// would fall short of kMinChatContrast against Base is moved away from it (darker on light,
// lighter on dark) just far enough, so any theme stays readable. Pure: depends only on palette.
ChatColours chatColours(const QPalette& palette);

// WCAG 2 relative luminance of colour, 0 (black) to 1 (white).
double relativeLuminance(const QColor& colour);
// WCAG 2 contrast ratio of two colours, 1 to 21, the same whichever comes first.
double contrastRatio(const QColor& a, const QColor& b);

}  // namespace vebix
