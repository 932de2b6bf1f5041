// The few operating-system calls in which the Linux and the Windows builds differ, for the
// stand-in host and its console program. Header only: include it from a .cpp file; it pulls
// <windows.h> (lean, without min/max macros) into that file on Windows.
//
// Contracts:
// - open_library(path): loads a shared library (dlopen with RTLD_NOW | RTLD_GLOBAL on Linux,
//   LoadLibraryA on Windows). Returns null on failure; last_library_error() then says why.
// - find_symbol(library, name): the address of an exported function or variable, or null.
// - close_library(library): unloads it; true on success. Null is accepted and ignored.
// - last_library_error(): text of the last failure of the three calls above, never null
//   ("" when there was none).
// - is_terminal(stream): whether the stream is an interactive console or terminal.
// - use_binary_stdio(): on Windows, switches stdin, stdout and stderr to binary mode, so
//   that bytes pass unchanged ("\n" stays one byte, control-Z does not end input) as on
//   Linux. Call it once at the start of main, before any input or output. No-op on Linux.
// - kLibraryName: the file name of the application library the host loads.
// - beside_executable(name): the path of the file `name` in the running program's own
//   directory ("/usr/lib/x/qv.so", "C:\\x\\qv.dll"); `name` alone when that directory cannot
//   be found.
#ifndef QV_WIN_PLATFORM_H
#define QV_WIN_PLATFORM_H

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace qv_platform {

#ifdef _WIN32
constexpr const char kLibraryName[] = "qv.dll";
#else
constexpr const char kLibraryName[] = "qv.so";
#endif

// The last failure text; shared by the calls of one program.
inline std::string &library_error_text() {
  static std::string text;
  return text;
}

#ifdef _WIN32
// FormatMessage text for a Windows error code, without the trailing line break.
inline std::string windows_error_text(unsigned long code) {
  char buffer[512] = {0};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, buffer, sizeof buffer, nullptr);
  while (length > 0 &&
         (buffer[length - 1] == '\n' || buffer[length - 1] == '\r' || buffer[length - 1] == ' ')) {
    --length;
  }
  std::string text(buffer, length);
  if (text.empty()) text = "error " + std::to_string(code);
  return text;
}
#endif

inline void *open_library(const char *path) {
#ifdef _WIN32
  HMODULE module = LoadLibraryA(path);
  library_error_text() =
      module ? "" : std::string(path) + ": " + windows_error_text(GetLastError());
  return reinterpret_cast<void *>(module);
#else
  void *handle = dlopen(path, RTLD_NOW | RTLD_GLOBAL);
  const char *error = handle ? nullptr : dlerror();
  library_error_text() = error ? error : "";
  return handle;
#endif
}

inline void *find_symbol(void *library, const char *name) {
#ifdef _WIN32
  FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(library), name);
  library_error_text() =
      address ? "" : std::string(name) + ": " + windows_error_text(GetLastError());
  return reinterpret_cast<void *>(address);
#else
  dlerror();
  void *address = dlsym(library, name);
  if (address) {
    library_error_text().clear();
  } else {
    const char *error = dlerror();
    library_error_text() = error ? error : std::string(name) + ": not found";
  }
  return address;
#endif
}

inline bool close_library(void *library) {
  if (library == nullptr) return true;
#ifdef _WIN32
  bool closed = FreeLibrary(reinterpret_cast<HMODULE>(library)) != 0;
  library_error_text() = closed ? "" : windows_error_text(GetLastError());
#else
  bool closed = dlclose(library) == 0;
  const char *error = closed ? nullptr : dlerror();
  library_error_text() = error ? error : "";
#endif
  return closed;
}

inline const char *last_library_error() { return library_error_text().c_str(); }

inline bool is_terminal(std::FILE *stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

inline void use_binary_stdio() {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

inline std::string beside_executable(const char *name) {
  std::vector<char> path(4096);
#ifdef _WIN32
  DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return name;
  std::string program(path.data(), length);
  std::string::size_type slash = program.find_last_of("\\/");
#else
  ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return name;
  std::string program(path.data(), static_cast<std::size_t>(length));
  std::string::size_type slash = program.rfind('/');
#endif
  if (slash == std::string::npos) return name;
  return program.substr(0, slash + 1) + name;
}

}  // namespace qv_platform

#endif  // QV_WIN_PLATFORM_H
