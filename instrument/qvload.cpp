#include "instrument/qvload.h"

#include <filesystem>
#include <system_error>

#include "host/sds.h"
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

}  // namespace

const char *instrument_file(const std::string &source, const std::string &target) {
  TextReader reader;
  if (!reader.open(source)) return kQvloadNotFound;

  // A source that is the target itself is read whole before the target is truncated.
  std::string whole;
  bool in_memory = same_file(source, target);
  if (in_memory) {
    for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
      whole.append(piece);
    }
    if (reader.failed()) return kQvloadCannotRead;
    reader.close();
  }

  TextWriter writer;
  if (!writer.open(target)) return kQvloadCannotCreate;

  Instrumenter state;
  instrument_begin(state);
  std::string out;
  if (in_memory) {
    instrument_feed(state, whole, out);
  } else {
    for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
      out.clear();
      instrument_feed(state, piece, out);
      writer.write(out);
    }
    out.clear();
  }
  instrument_end(state, out);
  writer.write(out);
  bool read_failed = reader.failed();
  reader.close();
  bool written = writer.close();
  if (read_failed || !written) {
    discard_partial(target);
    return read_failed ? kQvloadCannotRead : kQvloadCannotWrite;
  }
  return nullptr;
}

int qvload() {
  const sds_resbuf *args = sds_getargs();
  if (args == nullptr || args->next != nullptr || args->type != SDS_TYPE_STRING ||
      args->value.string == nullptr) {
    sds_fail(kQvloadWrongArgs);
    return 0;
  }
  if (const char *failure = instrument_file(args->value.string, kWorkFile)) {
    sds_fail(failure);
    return 0;
  }
  return 1;
}

}  // namespace qv
