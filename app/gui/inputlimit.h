#pragma once
// The longest line the window says at once, and how a longer one is split so that nothing the
// person typed or pasted is lost: the first part is said, the rest stays in the input line to
// be said next.

#include <QString>

namespace vebix {

// Characters (UTF-16 units) the window says in one line, as it always has.
inline constexpr int kMaxSaidLength = 500;

struct SplitLine {
    QString said;  // at most limit characters
    QString kept;  // the rest, without the blanks it started with; empty when all fits
};

// Splits typed after the last blank within limit, so that no word is cut; a first part
// without any blank in the second half of the limit is cut at the limit, never inside a
// character made of two units.
SplitLine splitForSaying(const QString& typed, int limit = kMaxSaidLength);

}  // namespace vebix
