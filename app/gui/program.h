#pragma once
// The program's entry: bot mode when a "CHAT.MSG" (file or folder) is in the working folder,
// otherwise the main window. Every error that escapes ends in the "Fatal Error" path: the
// message on standard error and in a box when a display is available, "CHAT.MSG" deleted,
// exit status 1.

#include <string>

namespace vebix {

int runProgram(int argc, char** argv);

// The start-up steps of window mode before the main window: settles the start mind (a named
// mind that does not exist is reported in a box, caption "Vebix") and reads the delay setting.
// Needs the QApplication to exist.
void prepareWindowMode(const char* namedPath);

// Window mode: settles the start mind (a named mind that does not exist is reported in a box),
// reads the delay setting, opens the main window and runs the message loop. Needs the
// QApplication to exist.
int runWindowMode(const char* namedPath);

// Shows the "Fatal Error" box when a display is available (DISPLAY or WAYLAND_DISPLAY set, or
// a QApplication already running); creates the QApplication for it only then.
void showFatalBoxIfDisplay(const std::string& message);

}  // namespace vebix
