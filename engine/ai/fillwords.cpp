#include <algorithm>
#include <string>
#include <unordered_map>

#include "engine/ai/ai.h"
#include "engine/enparse/tokenizer.h"

namespace vebix {

void Ai::calcFillWords() {
    const std::size_t n = lines_.size();
    if (n == 0) return;
    const std::size_t maxLines = FillWordMaxLines;
    const std::size_t take = n <= 4 * maxLines ? n / 4 : maxLines;

    // Counted by exact text; the table keeps first-seen order so that ties sort repeatably.
    std::vector<Wc> counted;
    std::unordered_map<std::string_view, std::size_t> at;
    std::vector<TokenList> keep;  // normalised words may live in a list's own storage
    keep.reserve(take);
    for (std::size_t i = n - take; i < n; ++i) {
        keep.push_back(tokenize(lineText(lines_[i]), Tokenize::Normalising));
        for (const Token& t : keep.back()) {
            if (t.type != TokenType::Word) continue;
            auto [it, fresh] = at.try_emplace(t.text(), counted.size());
            if (fresh)
                counted.push_back(Wc{t.text(), 1});
            else if (counted[it->second].count < 0xFFFF)
                ++counted[it->second].count;  // 16-bit count: saturates rather than wraps
        }
    }
    std::stable_sort(counted.begin(), counted.end());
    if (counted.size() > static_cast<std::size_t>(FillWordCount)) counted.resize(FillWordCount);

    fillWords_.clear();
    for (const Wc& w : counted) fillWords_.emplace_back(w.text);
}

bool Ai::notFillWord(std::string_view word) const {
    return std::find(fillWords_.begin(), fillWords_.end(), word) == fillWords_.end();
}

}  // namespace vebix
