// Writes a synthetic LISP source of a given size for the benchmarks (see lisp_generator.h).
//
// Usage: gen_lisp SIZE_MB OUTPUT
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lisp_generator.h"

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_lisp SIZE_MB OUTPUT\n");
    return 2;
  }
  std::uint64_t target = std::strtoull(argv[1], nullptr, 10) * 1024 * 1024;
  std::FILE *out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  std::string text;
  qv_bench::Generator generator(text);
  for (std::uint64_t n = 1; generator.written() < target; ++n) {
    generator.defun(n);
    if (text.size() >= (1u << 20)) {
      std::fwrite(text.data(), 1, text.size(), out);
      text.clear();
    }
  }
  std::fwrite(text.data(), 1, text.size(), out);
  if (std::ferror(out) != 0 || std::fclose(out) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
