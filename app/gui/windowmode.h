#pragma once
// Window mode: the main window on a display a person sees, and the "Fatal Error" box. Window
// mode with no such display (none set, one that cannot be opened, or the offscreen and minimal
// platforms) prints one line on standard error saying what is missing and ends with status 1.
// Every error that escapes ends in the "Fatal Error" path: the message on standard error and
// in a box, status 1.

#include <string>

#include "app/mind/startup.h"

namespace vebix {

class Prompts;

// The whole of window mode, for the program's entry: the QApplication (argc and argv as Qt
// reads them), the translations, the window on mindPath (empty: the usual start mind), the
// message loop. Returns the exit status.
int runWindowProgram(int& argc, char** argv, const std::string& mindPath);

// The start-up steps of window mode before the main window: settles the start mind (a named
// mind that does not exist is reported in a box, caption "Vebix") and reads the delay setting,
// giving what the window starts with. Needs the QApplication to exist.
StartupChoice prepareWindowMode(const char* namedPath, Prompts& prompts);

// Window mode: settles the start mind (a named mind that does not exist is reported in a box),
// reads the delay setting, opens the main window and runs the message loop. prompts asks the
// person everything; it must outlive the message loop. Needs the QApplication to exist.
int runWindowMode(const char* namedPath, Prompts& prompts);

// Shows the "Fatal Error" box when a person can answer it: on the running QApplication's
// platform unless that is offscreen or minimal; with none running, only when probeDisplay
// finds a display that opens, and then creates the QApplication for it. Otherwise does nothing.
void showFatalBoxIfDisplay(const std::string& message);

}  // namespace vebix
