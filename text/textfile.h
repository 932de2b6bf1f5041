// Text files the Windows way, on every platform.
//
// LISP sources and the work file are text files in the Windows sense. On reading, a
// carriage return directly before a line feed is dropped and a byte 26 (control-Z) ends the
// input; on writing, every line feed becomes carriage return + line feed. Files are opened
// in binary mode and converted here, in large blocks, so every build gives the same bytes.
#ifndef QV_TEXT_TEXTFILE_H
#define QV_TEXT_TEXTFILE_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Reads a text file in blocks. Not copyable; closes its file when destroyed.
class TextReader {
 public:
  TextReader() = default;
  ~TextReader();
  TextReader(const TextReader &) = delete;
  TextReader &operator=(const TextReader &) = delete;

  // Opens `path` for reading. False when it cannot be opened or is a directory.
  bool open(const std::string &path);
  // The next piece of converted text, never empty while input remains; an empty view at
  // the end of the input or after a read error (see failed()). The view stays valid until
  // the next call.
  std::string_view next();
  // True when reading stopped on an error rather than at the end of the input.
  bool failed() const { return failed_; }
  void close();

 private:
  std::FILE *file_ = nullptr;
  std::vector<char> block_;  // raw bytes of the current block, converted in place
  bool carry_cr_ = false;    // the last block ended in a carriage return held back
  bool ended_ = false;       // end of input reached: end of file, byte 26, or an error
  bool failed_ = false;      // a read error ended the input
};

// Converts raw file bytes to text in place: drops each carriage return directly before a
// line feed. Returns the new length. A carriage return in the last byte is kept.
std::size_t collapse_crlf(char *data, std::size_t size);

// Writes a text file through a large buffer. Not copyable; an unclosed file is closed (and
// its errors ignored) when destroyed.
class TextWriter {
 public:
  TextWriter() = default;
  ~TextWriter();
  TextWriter(const TextWriter &) = delete;
  TextWriter &operator=(const TextWriter &) = delete;

  // Creates or truncates `path`. False when it cannot be opened for writing.
  bool open(const std::string &path);
  // Writes to an already open stream (standard output, say); close() flushes it but does
  // not close it.
  void attach(std::FILE *stream);
  // Appends text; each line feed is written as carriage return + line feed.
  void write(std::string_view text);
  // Flushes and closes. True when every byte reached the file.
  bool close();

 private:
  void flush_buffer();

  std::FILE *file_ = nullptr;
  bool owned_ = false;        // the file was opened here and is closed here
  std::vector<char> buffer_;  // converted bytes not yet handed to the file
  std::size_t used_ = 0;      // bytes of buffer_ in use
  bool failed_ = false;       // a write failed: the file is incomplete
};

// Reads a whole text file into `out`. False when it cannot be opened or read.
bool read_text_file(const std::string &path, std::string &out);

}  // namespace qv

#endif  // QV_TEXT_TEXTFILE_H
