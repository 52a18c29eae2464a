#pragma once
// The desktop program's start: checks that a display can be reached, creates the application
// and the main window, and runs the message loop until the window closes.

namespace picaxo {

// The platform the program would use cannot be reached: the one line to print, else empty.
const char* MissingDisplayMessage();

// Keeps the memory of a freed photo in the process for the next one: the window decodes every
// photo it shows into a fresh buffer of tens of megabytes, which the C library would otherwise
// hand back to the system at once and get back zero-filled, page by page. Called at start-up,
// before the first large allocation.
void KeepFreedPhotoMemory();

int RunDesktopProgram(int argc, char** argv);

}  // namespace picaxo
