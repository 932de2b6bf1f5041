// icad: the stand-in CAD host's console program. Loads the application library the way the
// CAD host does, calls its SDS_EntryPoint on the main thread and drives it from the
// command line (see session.h). The program exports the sds_ and dlg_ functions that the
// library imports.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "standin/console/file_dialog.h"
#include "standin/console/session.h"
#include "standin/console/terminal.h"
#include "standin/host/host.h"
#include "win/platform.h"

#ifdef QV_HAVE_DCL
#include "standin/console/dialog_presenter.h"
#include "standin/dcl/dcl.h"
#endif

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

// Directory of the running program, with a trailing separator; "" when unknown.
std::string program_dir(const char *argv0) {
  std::string path;
#ifdef _WIN32
  char buffer[4096];
  DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (n > 0 && n < sizeof buffer) path.assign(buffer, n);
#else
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n > 0 && static_cast<std::size_t>(n) < sizeof buffer)
    path.assign(buffer, static_cast<std::size_t>(n));
#endif
  if (path.empty() && argv0 != nullptr) path = argv0;
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The application's name: the library's file name without directory and extension.
std::string app_name(const std::string &path) {
  std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.find('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::FILE *trace_file = nullptr;  // --trace FILE, or null

void write_trace(const std::string &line) {
  if (trace_file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), trace_file);
  std::fputc('\n', trace_file);
  std::fflush(trace_file);
}

[[noreturn]] void finish(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  if (trace_file != nullptr) std::fclose(trace_file);
  std::exit(status);
}

}  // namespace

int main(int argc, char **argv) {
  qv_platform::use_binary_stdio();
  standin::console::Options options;
  std::string error;
  if (!standin::console::parse_options(argc, argv, &options, &error)) {
    std::fprintf(stderr, "icad: %s\nTry 'icad --help'.\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(standin::console::usage().c_str(), stdout);
    return 0;
  }
  if (options.app_path.empty())
    options.app_path = program_dir(argc > 0 ? argv[0] : nullptr) + qv_platform::kLibraryName;

  std::FILE *script = stdin;
  if (!options.script.empty()) {
    script = std::fopen(options.script.c_str(), "rb");
    if (script == nullptr) {
      std::fprintf(stderr, "icad: cannot open script %s: %s\n", options.script.c_str(),
                   std::strerror(errno));
      return 2;
    }
  }
  if (!options.trace_file.empty()) {
    trace_file = std::fopen(options.trace_file.c_str(), "wb");
    if (trace_file == nullptr) {
      std::fprintf(stderr, "icad: cannot write trace file %s: %s\n", options.trace_file.c_str(),
                   std::strerror(errno));
      return 2;
    }
  }

  void *library = qv_platform::open_library(options.app_path.c_str());
  if (library == nullptr) {
    std::fprintf(stderr, "icad: cannot load application %s: %s\n", options.app_path.c_str(),
                 qv_platform::last_library_error());
    return 2;
  }
  auto entry = reinterpret_cast<int (*)()>(qv_platform::find_symbol(library, "SDS_EntryPoint"));
  if (entry == nullptr) {
    std::fprintf(stderr, "icad: no SDS_EntryPoint in %s\n", options.app_path.c_str());
    return 2;
  }

  static standin::console::Output out(stdout);
  static standin::console::LineInput input(script, &out);
  static standin::console::Session session(&input, &out, finish);
  auto trace = [](const std::string &line) {
    session.add_trace(line);
    write_trace(line);
  };
  standin::set_app_name(app_name(options.app_path));
  standin::set_output([](const std::string &text) { out.write(text); });
  standin::set_trace_sink(trace);
  standin::set_link_driver([](int status) { return session.on_link(status); });
  standin::set_exit_handler([](int status) { session.on_exit(status); });
  standin::set_file_dialog([](const standin::FileDialogRequest &request) {
    return standin::console::ask_file(&input, request);
  });
  for (const std::string &name : options.fail_defuns) standin::fail_defun(name);
#ifdef QV_HAVE_DCL
  // A dialog file that is not found as given is looked for next to the application
  // library, then next to the program.
  std::string app_dir = options.app_path.substr(0, options.app_path.find_last_of("/\\") + 1);
  standin::dcl::set_search_dirs(
      {app_dir.empty() ? "." : app_dir, program_dir(argc > 0 ? argv[0] : nullptr)});
  standin::dcl::set_trace([](const std::string &line) {
    session.add_trace(line);
    write_trace(line);
    // A failed dialog call shows why on stderr: the application only reports that it
    // failed.
    if (line.find(" -> -5001") != std::string::npos) {
      out.start_line();
      std::fprintf(stderr, "icad: %s\n", line.c_str());
    }
  });
  standin::dcl::set_presenter([](const standin::dcl::DialogView &view) {
    return standin::console::present_dialog(&input, &out, view);
  });
#endif

  entry();
  out.start_line();
  std::fprintf(stderr, "icad: the application returned from SDS_EntryPoint\n");
  finish(1);
}
