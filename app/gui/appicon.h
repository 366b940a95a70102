#pragma once
// The program's icon (app/resources/vebix.png, built into the program): a friendly speech bubble.

#include <QIcon>

#include <string_view>

namespace vebix {

// The PNG bytes of the icon.
std::string_view appIconPng();

// The icon, made once.
QIcon appIcon();

}  // namespace vebix
