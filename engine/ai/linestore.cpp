#include "engine/ai/linestore.h"

namespace vebix {

void LineStore::clear() {
    views_.clear();
    arena_.clear();
    mapped_.clear();
    ++epoch_;
}

}  // namespace vebix
