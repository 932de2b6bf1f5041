#include "instrument/work_file.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "instrument/instrumenter.h"
#include "text/textfile.h"

namespace qv {

const char kWorkFile[] = "$work.lsp";
const char kQvloadWrongArgs[] = "wrong args. in call to QVLOAD";
const char kQvloadNotFound[] = "file not found in QVLOAD";
const char kQvloadCannotRead[] = "cannot read file in QVLOAD";
const char kQvloadCannotCreate[] = "cannot open workfile!!!";
const char kQvloadCannotWrite[] = "cannot write workfile!!!";

namespace {

bool same_file(const std::string &a, const std::string &b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// Removes a target that a failure left incomplete. Only a regular file is removed: a link
// or a device that stands in the target's place is the user's and stays.
void discard_partial(const std::string &target) {
  std::error_code error;
  if (std::filesystem::is_regular_file(std::filesystem::symlink_status(target, error))) {
    std::filesystem::remove(target, error);
  }
}

// Instruments what `reader` still has to give (or `whole`, when the reader is closed) into
// `writer`, and closes both. Null on success, else the failure message.
const char *convert(TextReader &reader, const std::string &whole, TextWriter &writer) {
  Instrumenter state;
  instrument_begin(state);
  std::string out;
  instrument_feed(state, whole, out);
  writer.write(out);
  for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
    out.clear();
    instrument_feed(state, piece, out);
    writer.write(out);
  }
  out.clear();
  instrument_end(state, out);
  writer.write(out);
  bool read_failed = reader.failed();
  reader.close();
  bool written = writer.close();
  if (read_failed) return kQvloadCannotRead;
  return written ? nullptr : kQvloadCannotWrite;
}

}  // namespace

const char *instrument_file(const std::string &source, const std::string &target) {
  TextReader reader;
  if (!reader.open(source)) return kQvloadNotFound;
  std::string whole;
  if (same_file(source, target)) {
    for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
      whole.append(piece);
    }
    if (reader.failed()) return kQvloadCannotRead;
    reader.close();
  }
  TextWriter writer;
  if (!writer.open(target)) return kQvloadCannotCreate;
  const char *failure = convert(reader, whole, writer);
  if (failure != nullptr) discard_partial(target);
  return failure;
}

const char *instrument_to_stream(const std::string &source, std::FILE *stream) {
  TextReader reader;
  if (!reader.open(source)) return kQvloadNotFound;
  TextWriter writer;
  writer.attach(stream);
  return convert(reader, std::string(), writer);
}

}  // namespace qv
