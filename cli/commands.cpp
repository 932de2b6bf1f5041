#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <cstring>
#include <string_view>

#include "cli/balance.h"
#include "instrument/work_file.h"
#include "listing/depth_scanner.h"
#include "text/textfile.h"

#ifndef QV_VERSION
#define QV_VERSION "unknown"
#endif

namespace qv {

const char kStandardOutput[] = "-";
const char kCannotReadInput[] = "cannot read file";

namespace {

const char kStandardOutputName[] = "standard output";
const char kCannotWriteOutput[] = "cannot write output";

void report(std::FILE *err, const std::string &file, const char *message) {
  std::fprintf(err, "qv: %s: %s\n", file.c_str(), message);
}

bool write_all(std::FILE *out, std::string_view text) {
  return text.empty() || std::fwrite(text.data(), 1, text.size(), out) == text.size();
}

// Checks one file, appending its diagnostics to `out`. 0 balanced, 1 not, 2 unreadable.
int check_file(const std::string &file, std::FILE *out, std::FILE *err) {
  TextReader reader;
  if (!reader.open(file)) {
    report(err, file, kCannotReadInput);
    return 2;
  }
  BalanceScanner state;
  balance_begin(state);
  std::vector<BalanceDiagnostic> found;
  std::string text;
  bool any = false;
  auto emit = [&]() {
    text.clear();
    for (const BalanceDiagnostic &d : found) format_diagnostic(file, d, text);
    any = any || !found.empty();
    found.clear();
    return write_all(out, text);
  };
  bool written = true;
  for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
    balance_feed(state, piece, found);
    if (!found.empty()) written = emit() && written;
  }
  if (reader.failed()) {
    report(err, file, kCannotReadInput);
    return 2;
  }
  balance_end(state, found);
  written = emit() && written;
  if (!written) {
    report(err, kStandardOutputName, kCannotWriteOutput);
    return 2;
  }
  return any ? 1 : 0;
}

}  // namespace

int run_instrument(const std::string &source, const std::string &output, std::FILE *out,
                   std::FILE *err) {
  bool to_stream = output == kStandardOutput;
  const char *failure =
      to_stream ? instrument_to_stream(source, out) : instrument_file(source, output);
  if (failure == nullptr) return 0;
  bool about_output = failure == kQvloadCannotCreate || failure == kQvloadCannotWrite;
  report(err, !about_output ? source : to_stream ? kStandardOutputName : output, failure);
  return 1;
}

int run_depth(const std::string &file, std::FILE *out, std::FILE *err) {
  TextReader reader;
  if (!reader.open(file)) {
    report(err, file, kCannotReadInput);
    return 2;
  }
  DepthScanner state;
  depth_begin(state);
  std::string rows;
  bool written = true;
  for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
    rows.clear();
    depth_feed(state, piece, rows);
    written = written && write_all(out, rows);
  }
  if (reader.failed()) {
    report(err, file, kCannotReadInput);
    return 2;
  }
  rows.clear();
  depth_end(state, rows);
  written = written && write_all(out, rows) && std::fflush(out) == 0;
  if (!written) {
    report(err, kStandardOutputName, kCannotWriteOutput);
    return 2;
  }
  return 0;
}

int run_check(const std::vector<std::string> &files, std::FILE *out, std::FILE *err) {
  int status = 0;
  for (const std::string &file : files) status = std::max(status, check_file(file, out, err));
  if (std::fflush(out) != 0) {
    report(err, kStandardOutputName, kCannotWriteOutput);
    status = 2;
  }
  return status;
}

int tool_main(int argc, char **argv) {
  CLI::App app{"Checks and instruments LISP sources the way the qv add-on does.", "qv"};
  app.set_version_flag("--version", std::string("qv ") + QV_VERSION);
  app.require_subcommand(1);

  std::string source;
  std::string output = kWorkFile;
  CLI::App *instrument =
      app.add_subcommand("instrument", "Write the instrumented copy of SOURCE (as qvload does)");
  instrument->add_option("SOURCE", source, "LISP source file")->required();
  instrument->add_option("-o,--output", output, "Output file; - for standard output")
      ->capture_default_str();

  std::string listed;
  CLI::App *depth =
      app.add_subcommand("depth", "Print the depth listing of FILE, one row per line");
  depth->add_option("FILE", listed, "LISP source file")->required();

  std::vector<std::string> checked;
  CLI::App *check = app.add_subcommand(
      "check", "Report unbalanced parentheses and strings as FILE:LINE: diagnostics");
  check->add_option("FILE", checked, "LISP source files")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    // A word where the command belongs is reported as such, not as a missing command.
    std::vector<std::string> rest = app.remaining();
    bool unknown_command = app.get_subcommands().empty() && !rest.empty() && rest[0][0] != '-';
    std::string message = unknown_command ? "unknown command: " + rest[0] : e.what();
    std::fprintf(stderr, "qv: %s\nRun 'qv --help' for more information.\n", message.c_str());
    return 2;
  }

  if (*instrument) return run_instrument(source, output, stdout, stderr);
  if (*depth) return run_depth(listed, stdout, stderr);
  return run_check(checked, stdout, stderr);
}

}  // namespace qv
