#include "listing/testlsp.h"

#include <string>

#include "host/sds.h"
#include "listing/listing_dialog.h"
#include "text/textfile.h"

namespace qv {

const char kInvalidArgument[] = "Invalid agrument !\n";

namespace {

// Asks for the file in the host's file dialog, offering the last choice. False when the
// user chose none; otherwise `path` is the choice, already kept in "::Current_filename".
bool choose_file(std::string &path) {
  sds_resbuf *last = nullptr;
  sds_getsym("::Current_filename", &last);
  const char *offered =
      (last != nullptr && last->type == SDS_TYPE_STRING) ? last->value.string : nullptr;
  sds_resbuf chosen{};
  int status = sds_getfiled("File to test", offered, "lsp", 14, &chosen);
  if (last != nullptr) sds_relrb(last);
  if (status != SDS_NORMAL || chosen.type != SDS_TYPE_STRING || chosen.value.string == nullptr) {
    return false;
  }
  path = chosen.value.string;
  chosen.next = nullptr;
  sds_putsym("::Current_filename", &chosen);
  return true;
}

}  // namespace

int testlsp() {
  std::string path;
  if (const sds_resbuf *args = sds_getargs()) {
    if (args->next != nullptr || args->type != SDS_TYPE_STRING || args->value.string == nullptr) {
      sds_fail(kInvalidArgument);
      return 0;
    }
    path = args->value.string;
  } else if (!choose_file(path)) {
    return 1;
  }
  TextReader file;
  if (!file.open(path)) {
    sds_fail(kCannotReadFile);
    return 0;
  }
  int result = show_listing(file, path);
  sds_retvoid();
  return result;
}

}  // namespace qv
