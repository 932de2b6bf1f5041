#include "text/textfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv {

namespace {

constexpr std::size_t kBlockSize = 1 << 18;  // 256 KiB per read and per write
constexpr char kEndOfText = 26;              // control-Z ends a text file

#if defined(__SSE2__)
__m128i load16(const char *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
void store16(char *p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }
unsigned mask16(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }
#endif

// Copies `size` raw bytes from `in` to `out` (separate buffers, room for `size` + 32),
// dropping each carriage return directly before a line feed; a carriage return in the last
// byte is kept. Returns the bytes written.
std::size_t copy_collapsing_crlf(char *out, const char *in, std::size_t size) {
  const char *end = in + size;
  char *start = out;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
  // Blocks of 16 bytes; the bytes after each dropped one are stored again one place on.
  while (end - in >= 33) {
    __m128i v = load16(in);
    unsigned drop =
        mask16(_mm_and_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(load16(in + 1), lf)));
    store16(out, v);
    // The first drop without a branch (none: a harmless store past the block), then others.
    int k = __builtin_ctz(drop | 0x10000u);
    store16(out + k, load16(in + k + 1));
    int dropped = drop != 0;
    for (unsigned bits = drop & (drop - 1); bits != 0; bits &= bits - 1) {
      k = __builtin_ctz(bits);
      store16(out + k - dropped, load16(in + k + 1));
      ++dropped;
    }
    in += 16;
    out += 16 - dropped;
  }
#endif
  while (in < end) {
    if (*in == '\r' && in + 1 < end && in[1] == '\n') ++in;
    *out++ = *in++;
  }
  return static_cast<std::size_t>(out - start);
}

// Copies `size` bytes of text from `in` to `out` (separate buffers, room for twice `size`
// plus 48), each line feed as carriage return + line feed. Returns the bytes written.
std::size_t copy_expanding_lf(char *out, const char *in, std::size_t size) {
  const char *end = in + size;
  char *start = out;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  // Blocks of 16 bytes; from each line feed on, the bytes are stored again one place on.
  while (end - in >= 32) {
    __m128i v = load16(in);
    unsigned feeds = mask16(_mm_cmpeq_epi8(v, lf));
    store16(out, v);
    // The first line feed without a branch (none: harmless stores past the block), then
    // others.
    int k = __builtin_ctz(feeds | 0x10000u);
    out[k] = '\r';
    store16(out + k + 1, load16(in + k));
    int added = feeds != 0;
    for (unsigned bits = feeds & (feeds - 1); bits != 0; bits &= bits - 1) {
      k = __builtin_ctz(bits);
      out[k + added] = '\r';
      ++added;
      store16(out + k + added, load16(in + k));
    }
    in += 16;
    out += 16 + added;
  }
#endif
  for (; in < end; ++in) {
    if (*in == '\n') *out++ = '\r';
    *out++ = *in;
  }
  return static_cast<std::size_t>(out - start);
}

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
  // The converted text comes first (with 32 bytes of slack), then the raw bytes read.
  block_.resize(2 * kBlockSize + 32);
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
    char *raw = block_.data() + kBlockSize + 32;
    std::size_t have = 0;
    if (carry_cr_) {
      raw[0] = '\r';
      have = 1;
      carry_cr_ = false;
    }
    std::size_t want = kBlockSize - have;
    std::size_t got = std::fread(raw + have, 1, want, file_);
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
    if (void *stop = std::memchr(raw, kEndOfText, have)) {
      have = static_cast<std::size_t>(static_cast<char *>(stop) - raw);
      at_end = true;
    }
    // A carriage return at the end of a block waits for the next byte.
    if (!at_end && have > 0 && raw[have - 1] == '\r') {
      carry_cr_ = true;
      --have;
    }
    have = copy_collapsing_crlf(block_.data(), raw, have);
    if (at_end) ended_ = true;
    if (have > 0) return std::string_view(block_.data(), have);
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
    // Room for a run and the carriage return that each of its line feeds adds, plus the
    // bytes a block copy may write past its end.
    std::size_t room = buffer_.size() - used_;
    if (room < 64) {
      flush_buffer();
      room = buffer_.size();
    }
    std::size_t span = std::min((room - 48) / 2, static_cast<std::size_t>(end - in));
    used_ += copy_expanding_lf(buffer_.data() + used_, in, span);
    in += span;
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
