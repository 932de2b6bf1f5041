// Bit masks over blocks of source text, for the scanners' fast paths: a block is classified
// at once, and the scanner goes straight from one byte that needs attention to the next,
// counting what lies between (newlines, parentheses) from the masks.
#ifndef QV_TEXT_BLOCK_MASKS_H
#define QV_TEXT_BLOCK_MASKS_H

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::blocks {

// The bytes of a 64-byte block that LISP's parentheses, strings and comments turn on: bit i
// is set when byte i is of the kind.
struct LispMasks {
  std::uint64_t open;       // '('
  std::uint64_t close;      // ')'
  std::uint64_t newline;    // '\n'
  std::uint64_t quote;      // '"'
  std::uint64_t backslash;  // '\'
  std::uint64_t semicolon;  // ';'
};

// Classifies the 64 bytes at `p` (all of which must be readable).
inline LispMasks classify64(const char *p) {
  LispMasks m{0, 0, 0, 0, 0, 0};
#if defined(__SSE2__)
  for (unsigned k = 0; k < 64; k += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + k));
    auto eq = [v](char c) {
      return std::uint64_t{
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))))};
    };
    m.open |= eq('(') << k;
    m.close |= eq(')') << k;
    m.newline |= eq('\n') << k;
    m.quote |= eq('"') << k;
    m.backslash |= eq('\\') << k;
    m.semicolon |= eq(';') << k;
  }
#else
  for (unsigned i = 0; i < 64; ++i) {
    char c = p[i];
    std::uint64_t bit = std::uint64_t{1} << i;
    if (c == '(') m.open |= bit;
    if (c == ')') m.close |= bit;
    if (c == '\n') m.newline |= bit;
    if (c == '"') m.quote |= bit;
    if (c == '\\') m.backslash |= bit;
    if (c == ';') m.semicolon |= bit;
  }
#endif
  return m;
}

// Set bits of a 16-bit and of a 64-bit mask, written out: without the processor's own
// instruction enabled, the compiler's builtin is a library call.
inline int count16(unsigned bits) {
  bits = bits - ((bits >> 1) & 0x5555u);
  bits = (bits & 0x3333u) + ((bits >> 2) & 0x3333u);
  bits = (bits + (bits >> 4)) & 0x0F0Fu;
  return static_cast<int>((bits + (bits >> 8)) & 0x1Fu);
}
inline int count64(std::uint64_t bits) {
  bits = bits - ((bits >> 1) & 0x5555555555555555u);
  bits = (bits & 0x3333333333333333u) + ((bits >> 2) & 0x3333333333333333u);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((bits * 0x0101010101010101u) >> 56);
}

// Bits 0 to i - 1 (i at most 64).
inline std::uint64_t below(unsigned i) {
  return i >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << i) - 1;
}

// The lowest set bit of `bits`, or 64 when there is none.
inline unsigned first(std::uint64_t bits) {
  return bits == 0 ? 64 : static_cast<unsigned>(__builtin_ctzll(bits));
}

}  // namespace qv::blocks

#endif  // QV_TEXT_BLOCK_MASKS_H
