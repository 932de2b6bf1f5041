// In-process throughput of the scanners and of the text-file layer, in bytes of source per
// second, on a generated LISP text fed in the pieces the text reader hands out.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/balance.h"
#include "instrument/instrumenter.h"
#include "lisp_generator.h"
#include "listing/depth_scanner.h"
#include "text/textfile.h"

namespace {

constexpr std::size_t kPiece = 1 << 18;           // the text reader's block size
constexpr std::uint64_t kSourceBytes = 32 << 20;  // in memory, read from cache

// The generated source with CRLF lines, as a file holds it.
const std::string &raw_source() {
  static const std::string text = qv_bench::generate_lisp(kSourceBytes);
  return text;
}

// The same source read the Windows way (CRLF collapsed), as the scanners receive it.
const std::string &text_source() {
  static const std::string text = [] {
    std::string copy = raw_source();
    copy.resize(qv::collapse_crlf(copy.data(), copy.size()));
    return copy;
  }();
  return text;
}

// Feeds `text` in reader-sized pieces to `feed`.
template <typename Feed>
void in_pieces(const std::string &text, Feed feed) {
  for (std::size_t at = 0; at < text.size(); at += kPiece) {
    feed(std::string_view(text).substr(at, kPiece));
  }
}

void set_rate(benchmark::State &state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

void BM_Instrumenter(benchmark::State &state) {
  const std::string &text = text_source();
  std::string out;
  for (auto _ : state) {
    qv::Instrumenter scanner;
    qv::instrument_begin(scanner);
    in_pieces(text, [&](std::string_view piece) {
      out.clear();
      qv::instrument_feed(scanner, piece, out);
      benchmark::DoNotOptimize(out.data());
    });
    qv::instrument_end(scanner, out);
  }
  set_rate(state, text.size());
}
BENCHMARK(BM_Instrumenter)->Unit(benchmark::kMillisecond);

void BM_DepthScanner(benchmark::State &state) {
  const std::string &text = text_source();
  std::string rows;
  for (auto _ : state) {
    qv::DepthScanner scanner;
    qv::depth_begin(scanner);
    in_pieces(text, [&](std::string_view piece) {
      rows.clear();
      qv::depth_feed(scanner, piece, rows);
      benchmark::DoNotOptimize(rows.data());
    });
    qv::depth_end(scanner, rows);
  }
  set_rate(state, text.size());
}
BENCHMARK(BM_DepthScanner)->Unit(benchmark::kMillisecond);

void BM_BalanceScanner(benchmark::State &state) {
  const std::string &text = text_source();
  std::vector<qv::BalanceDiagnostic> found;
  for (auto _ : state) {
    qv::BalanceScanner scanner;
    qv::balance_begin(scanner);
    in_pieces(text, [&](std::string_view piece) { qv::balance_feed(scanner, piece, found); });
    qv::balance_end(scanner, found);
    benchmark::DoNotOptimize(found.data());
  }
  set_rate(state, text.size());
}
BENCHMARK(BM_BalanceScanner)->Unit(benchmark::kMillisecond);

// Reading: the raw file through TextReader (page cache), CRLF collapsed.
void BM_TextReader(benchmark::State &state) {
  const std::string path = "qv_bench_source.lsp";
  {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    std::fwrite(raw_source().data(), 1, raw_source().size(), file);
    std::fclose(file);
  }
  for (auto _ : state) {
    qv::TextReader reader;
    reader.open(path);
    std::size_t total = 0;
    for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next()) {
      total += piece.size();
    }
    benchmark::DoNotOptimize(total);
  }
  std::remove(path.c_str());
  set_rate(state, raw_source().size());
}
BENCHMARK(BM_TextReader)->Unit(benchmark::kMillisecond);

// Writing: text with line feeds through TextWriter to /dev/null, each line feed as CRLF.
void BM_TextWriter(benchmark::State &state) {
  const std::string &text = text_source();
  for (auto _ : state) {
    qv::TextWriter writer;
    writer.open("/dev/null");
    in_pieces(text, [&](std::string_view piece) { writer.write(piece); });
    writer.close();
  }
  set_rate(state, text.size());
}
BENCHMARK(BM_TextWriter)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
