// Runs the built console program "icad" on the built application library as a separate
// process, for end-to-end tests.
//
// The program and the library are found under the build directory named by the
// environment variable QV_BUILD_DIR (standin/console/icad and qv.so). Each run gets a new,
// empty working directory under the system's temporary directory.
#ifndef QV_TESTS_E2E_RUN_ICAD_H
#define QV_TESTS_E2E_RUN_ICAD_H

#include <string>
#include <vector>

namespace e2e {

struct Run {
  int status = -1;                 // exit status, or -1 when the program did not exit
  std::string out;                 // standard output
  std::string err;                 // standard error
  std::vector<std::string> trace;  // lines of the --trace file
  std::string dir;                 // the working directory, with a trailing '/'
};

// A new empty working directory; write files into it before run_icad.
std::string make_work_dir();

// Writes bytes to path.
void write_file(const std::string &path, const std::string &bytes);
// The bytes of path; "<missing>" when it cannot be read.
std::string read_file(const std::string &path);

// Runs icad in dir with script as its input file (written to dir/session.txt) plus the
// options given, with --app pointing at the built qv.so (unless options has its own
// --app) and --trace writing dir/trace.txt.
Run run_icad(const std::string &dir, const std::string &script,
             const std::vector<std::string> &options = {});

// The path of the built icad.
std::string icad_path();

}  // namespace e2e

#endif  // QV_TESTS_E2E_RUN_ICAD_H
