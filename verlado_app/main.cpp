#include <exception>

#include "platform/core/command_line.h"
#include "verlado_app/verlado_app.h"

int main(int argc, char* argv[]) {
  // The copy list's path and nothing else.
  if (argc != 2) return 0;
  SetCommandLineArgs(argc, argv);
  try {
    verladoApp app;
    return app.Run();
  } catch (const std::exception& error) {
    MessageBox(nullptr, error.what(), "Exception", MB_OK);
    return -1;
  }
}
