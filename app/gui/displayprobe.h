#pragma once
// Whether the program can show a window to a person, found out before any QApplication exists:
// one made for a display that cannot be opened ends the process, and a window on a platform
// that draws into memory (offscreen, minimal) waits for an answer nobody can give.

#include <string>

namespace vebix {

struct DisplayProbe {
    // A QApplication made now opens a display a person sees.
    bool interactive = false;
    // When not interactive: what is missing, as one clause ("DISPLAY is not set ...").
    std::string missing;
};

// Probes the platform a QApplication made with these arguments would use: "-platform" among
// the arguments, else QT_QPA_PLATFORM, else X11 (and Wayland when WAYLAND_DISPLAY is set). A
// list of platforms ("wayland;xcb") is tried in order, as Qt does. X11 counts when a connection
// to its display ("-display" or DISPLAY) opens; Wayland when its socket accepts a connection;
// offscreen and minimal never count; any other platform named counts (it cannot be probed).
DisplayProbe probeDisplay(int argc, char** argv);

// Whether the running QApplication's platform shows its windows to a person.
bool runningPlatformIsInteractive();

}  // namespace vebix
