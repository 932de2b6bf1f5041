// Fuzz target for the dialog-file reader.
//
// Parses the input as a dialog file and resolves each of its definitions as a dialog.
// Checks that nothing crashes or runs away, that every failure gives one message of the
// form "<file>:<line>: <text>" (or "<file>: <text>" where no line is known) with a line
// inside the file, and that every tile read carries a line inside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/pieces.h"
#include "standin/dcl/dcl_reader.h"

namespace {

const std::string kFileName = "fuzz.dcl";

using qv_fuzz::check;

// Lines of the text as the reader counts them: "\r\n", a lone '\r' and '\n' each end one.
long count_lines(std::string_view text) {
  long lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      ++lines;
    }
  }
  return lines;
}

void check_message(const std::string &err, long lines) {
  check(err.compare(0, kFileName.size() + 1, kFileName + ":") == 0);
  std::size_t at = kFileName.size() + 1;
  if (err.compare(at, 1, " ") == 0) {
    check(err.size() > at + 1);
    return;
  }
  std::size_t digits = err.find_first_not_of("0123456789", at);
  check(digits != std::string::npos && digits > at && digits - at < 12);
  long line = std::stol(err.substr(at, digits - at));
  check(line >= 1 && line <= lines);
  check(err.compare(digits, 2, ": ") == 0 && err.size() > digits + 2);
  check(err.find('\n') == std::string::npos);
}

void check_tile(const standin::dcl::Tile &tile, long lines, int depth) {
  check(depth <= standin::dcl::kMaxDepth + 1);
  check(tile.line >= 1 && tile.line <= lines);
  for (const standin::dcl::Attribute &a : tile.attributes) check(a.line >= 1 && a.line <= lines);
  for (const standin::dcl::Tile &child : tile.children) check_tile(child, lines, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  long lines = count_lines(text);
  standin::dcl::DclFile file;
  std::string err;
  if (!standin::dcl::parse_dcl(text, kFileName, &file, &err)) {
    check_message(err, lines);
    return 0;
  }
  check(err.empty());
  check(file.name == kFileName);
  std::size_t resolved = 0;
  for (const standin::dcl::Tile &def : file.definitions) {
    check_tile(def, lines, 0);
    if (resolved++ >= 8) continue;
    standin::dcl::DialogLayout layout;
    std::string collect_err;
    if (!standin::dcl::collect_dialog(file, def.name, &layout, &collect_err)) {
      check_message(collect_err, lines);
    }
  }
  return 0;
}
