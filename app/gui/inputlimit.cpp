#include "app/gui/inputlimit.h"

namespace vebix {

SplitLine splitForSaying(const QString& typed, int limit) {
    if (typed.size() <= limit) return {typed, QString()};
    qsizetype cut = limit;
    // A break at a blank, unless that would leave the first part shorter than half the limit
    // (one long word, a pasted address).
    for (qsizetype i = limit; i > limit / 2; --i) {
        if (typed.at(i).isSpace()) {
            cut = i;
            break;
        }
    }
    if (cut == limit && typed.at(cut).isLowSurrogate() && typed.at(cut - 1).isHighSurrogate())
        --cut;
    // The blanks at the break belong to neither part.
    while (cut > 0 && typed.at(cut - 1).isSpace()) --cut;
    if (cut == 0) cut = limit;
    qsizetype rest = cut;
    while (rest < typed.size() && typed.at(rest).isSpace()) ++rest;
    return {typed.left(cut), typed.mid(rest)};
}

}  // namespace vebix
