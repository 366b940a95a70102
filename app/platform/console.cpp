#include "app/platform/console.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace vebix {

bool colourAllowed(const char* noColor, const char* term) {
    // https://no-color.org: any non-empty NO_COLOR turns colour off.
    if (noColor && *noColor) return false;
    return !(term && std::strcmp(term, "dumb") == 0);
}

Console Console::standard() {
    Console console{std::cin, std::cout, std::cerr};
    console.inFd = STDIN_FILENO;
    console.inIsTerminal = ::isatty(STDIN_FILENO) == 1;
    console.outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    console.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    console.colour =
        console.outIsTerminal && colourAllowed(std::getenv("NO_COLOR"), std::getenv("TERM"));
    return console;
}

Palette::Palette(bool colour) {
    if (!colour) return;
    user = "\033[1;34m";
    bot = "\033[1;32m";
    note = "\033[2m";
    error = "\033[1;31m";
    reset = "\033[0m";
}

}  // namespace vebix
