#pragma once
// The desktop program's start: checks that a display can be reached, creates the application
// and the main window, and runs the message loop until the window closes.

namespace picaxo {

// The platform the program would use cannot be reached: the one line to print, else empty.
const char* MissingDisplayMessage();

int RunDesktopProgram(int argc, char** argv);

}  // namespace picaxo
