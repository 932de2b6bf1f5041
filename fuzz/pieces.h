// Fuzzer input as a text plus the places where it is cut into pieces, and the check that
// stops the fuzzer on a broken property.
//
// The last bytes of the input choose up to eight cut points; the rest is the text. A
// streaming scanner fed the pieces in order must give the same bytes as when fed the whole
// text at once. Pieces may be empty.
#ifndef QV_FUZZ_PIECES_H
#define QV_FUZZ_PIECES_H

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace qv_fuzz {

// Stops the run with a crash the fuzzer records, with the input, when a property fails.
inline void check(bool ok) {
  if (!ok) std::abort();
}

struct Pieces {
  std::string text;               // the text to scan
  std::vector<std::size_t> cuts;  // ascending offsets into text, each at most text.size()

  // The pieces in order: text[0, cuts[0]), text[cuts[0], cuts[1]), ..., up to the end.
  std::vector<std::string_view> split() const {
    std::vector<std::string_view> out;
    std::string_view all(text);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
      out.push_back(all.substr(from, cut - from));
      from = cut;
    }
    out.push_back(all.substr(from));
    return out;
  }
};

// Takes the cut points from the end of the input and the text from what remains.
inline Pieces take_pieces(const std::uint8_t *data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  std::size_t count = provider.ConsumeIntegralInRange<std::size_t>(0, 8);
  std::vector<std::uint16_t> raw;
  for (std::size_t i = 0; i < count; ++i) raw.push_back(provider.ConsumeIntegral<std::uint16_t>());
  Pieces pieces;
  std::vector<char> rest = provider.ConsumeRemainingBytes<char>();
  pieces.text.assign(rest.begin(), rest.end());
  for (std::uint16_t r : raw) pieces.cuts.push_back(r % (pieces.text.size() + 1));
  std::sort(pieces.cuts.begin(), pieces.cuts.end());
  return pieces;
}

}  // namespace qv_fuzz

#endif  // QV_FUZZ_PIECES_H
