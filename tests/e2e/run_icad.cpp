// Runs icad as a separate process (see run_icad.h).
#include "tests/e2e/run_icad.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace {

std::string build_dir() {
  const char *dir = std::getenv("QV_BUILD_DIR");
  if (dir == nullptr) throw std::runtime_error("QV_BUILD_DIR is not set");
  return dir;
}

// Quotes an argument for /bin/sh.
std::string shell_quote(const std::string &arg) {
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace

std::string icad_path() { return build_dir() + "/standin/console/icad"; }

namespace {

// Work directories made by this test program, removed when it ends.
struct WorkDirs {
  std::vector<std::string> paths;
  ~WorkDirs() {
    for (const std::string &path : paths) {
      std::error_code error;
      std::filesystem::remove_all(path, error);
    }
  }
};
WorkDirs work_dirs;

}  // namespace

std::string make_work_dir() {
  const char *tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/qv-e2e-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
  work_dirs.paths.push_back(pattern);
  return pattern + "/";
}

void write_file(const std::string &path, const std::string &bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

std::string read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return "<missing>";
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

Run run_icad(const std::string &dir, const std::string &script,
             const std::vector<std::string> &options) {
  Run run;
  run.dir = dir;
  write_file(dir + "session.txt", script);
  std::string command = "cd " + shell_quote(dir) + " && exec " + shell_quote(icad_path());
  bool own_app = false;
  for (const std::string &o : options) own_app = own_app || o == "--app";
  if (!own_app) command += " --app " + shell_quote(build_dir() + "/qv.so");
  command += " --trace trace.txt";
  for (const std::string &o : options) command += " " + shell_quote(o);
  command += " session.txt > out.txt 2> err.txt < /dev/null";
  int raw = std::system(command.c_str());
  if (raw != -1 && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
  run.out = read_file(dir + "out.txt");
  run.err = read_file(dir + "err.txt");
  std::istringstream trace(read_file(dir + "trace.txt"));
  for (std::string line; std::getline(trace, line);) run.trace.push_back(line);
  return run;
}

}  // namespace e2e
