#include "text/textfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace qv {

namespace {

constexpr std::size_t kBlockSize = 1 << 18;  // 256 KiB per read and per write
constexpr char kEndOfText = 26;              // control-Z ends a text file

}  // namespace

std::size_t collapse_crlf(char *data, std::size_t size) {
  char *end = data + size;
  char *cr = static_cast<char *>(std::memchr(data, '\r', size));
  if (cr == nullptr) return size;
  char *out = cr;
  char *in = cr;
  while (in < end) {
    // `in` points at a carriage return; copy it unless a line feed follows.
    if (in + 1 < end && in[1] == '\n') {
      ++in;
    } else {
      *out++ = *in++;
    }
    char *next = static_cast<char *>(std::memchr(in, '\r', static_cast<std::size_t>(end - in)));
    char *stop = next ? next : end;
    std::size_t run = static_cast<std::size_t>(stop - in);
    std::memmove(out, in, run);
    out += run;
    in = stop;
  }
  return static_cast<std::size_t>(out - data);
}

TextReader::~TextReader() { close(); }

bool TextReader::open(const std::string &path) {
  close();
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return false;
  struct stat info;
  if (fstat(fileno(file_), &info) != 0 || S_ISDIR(info.st_mode)) {
    close();
    return false;
  }
  block_.resize(kBlockSize);
  carry_cr_ = false;
  ended_ = false;
  failed_ = false;
  return true;
}

void TextReader::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  ended_ = true;
}

std::string_view TextReader::next() {
  while (!ended_) {
    std::size_t have = 0;
    if (carry_cr_) {
      block_[0] = '\r';
      have = 1;
      carry_cr_ = false;
    }
    std::size_t want = block_.size() - have;
    std::size_t got = std::fread(block_.data() + have, 1, want, file_);
    bool at_end = false;
    if (got < want) {
      if (std::ferror(file_)) {
        failed_ = true;
        ended_ = true;
        return {};
      }
      at_end = true;
    }
    have += got;
    char *data = block_.data();
    if (void *stop = std::memchr(data, kEndOfText, have)) {
      have = static_cast<std::size_t>(static_cast<char *>(stop) - data);
      at_end = true;
    }
    // A carriage return at the end of a block waits for the next byte.
    if (!at_end && have > 0 && data[have - 1] == '\r') {
      carry_cr_ = true;
      --have;
    }
    have = collapse_crlf(data, have);
    if (at_end) ended_ = true;
    if (have > 0) return std::string_view(data, have);
  }
  return {};
}

TextWriter::~TextWriter() {
  if (owned_ && file_ != nullptr) std::fclose(file_);
}

bool TextWriter::open(const std::string &path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  owned_ = true;
  buffer_.resize(kBlockSize);
  used_ = 0;
  failed_ = false;
  return true;
}

void TextWriter::attach(std::FILE *stream) {
  file_ = stream;
  owned_ = false;
  buffer_.resize(kBlockSize);
  used_ = 0;
  failed_ = false;
}

void TextWriter::flush_buffer() {
  if (used_ > 0 && !failed_ && std::fwrite(buffer_.data(), 1, used_, file_) != used_) {
    failed_ = true;
  }
  used_ = 0;
}

void TextWriter::write(std::string_view text) {
  const char *in = text.data();
  const char *end = in + text.size();
  while (in < end) {
    // Room for a run plus the carriage return and line feed that may end it.
    if (buffer_.size() - used_ < 2) flush_buffer();
    std::size_t room = buffer_.size() - used_ - 1;
    std::size_t span = std::min(room, static_cast<std::size_t>(end - in));
    const char *lf = static_cast<const char *>(std::memchr(in, '\n', span));
    std::size_t run = lf ? static_cast<std::size_t>(lf - in) : span;
    std::memcpy(buffer_.data() + used_, in, run);
    used_ += run;
    in += run;
    if (lf) {
      buffer_[used_++] = '\r';
      buffer_[used_++] = '\n';
      ++in;
    }
  }
}

bool TextWriter::close() {
  if (file_ == nullptr) return false;
  flush_buffer();
  if (std::fflush(file_) != 0) failed_ = true;
  if (owned_ && std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  owned_ = false;
  return !failed_;
}

bool read_text_file(const std::string &path, std::string &out) {
  out.clear();
  TextReader reader;
  if (!reader.open(path)) return false;
  for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
    out.append(piece);
  }
  return !reader.failed();
}

}  // namespace qv
