#pragma once
// Looking for a phrase in text with ASCII letters compared without case (other bytes, UTF-8
// included, compared as they are).

#include <cstddef>
#include <string_view>

namespace vebix {

// The first position at or after from where needle occurs in hay, or npos. An empty needle
// occurs at from (when from <= hay.size()).
std::size_t findNoCase(std::string_view hay, std::string_view needle, std::size_t from = 0);

}  // namespace vebix
