#pragma once
// The program's entry, above every front end: reads the command line and starts what it asks
// for. Help and version need nothing more; a command runs in its front end (the terminal's,
// app/cli); with a "CHAT.MSG" (file or folder) in the working folder the program answers it in
// bot mode, before any window exists; otherwise the window (app/gui). Returns the exit status.

namespace vebix {

int runProgram(int argc, char** argv);

}  // namespace vebix
