// picaxo: the desktop program.
#include <cstdio>

#include "ui/application.h"

int main(int argc, char** argv) {
  if (const char* message = picaxo::MissingDisplayMessage()) {
    std::fprintf(stderr, "%s\n", message);
    return 1;
  }
  return picaxo::RunDesktopProgram(argc, argv);
}
