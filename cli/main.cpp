// The command-line tool "qv": the add-on's scanners outside the CAD program.
#include "cli/commands.h"
#include "win/platform.h"

int main(int argc, char **argv) {
  qv_platform::use_binary_stdio();
  return qv::tool_main(argc, argv);
}
