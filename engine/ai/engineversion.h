#pragma once
// The version of the engine, which other bots ask for (the UDLP probe, chatmsgformat.h).

#include <string_view>

namespace vebix {

inline constexpr std::string_view kEngineVersion = "1.7.5";

}  // namespace vebix
