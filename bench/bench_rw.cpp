// Reader and writer throughput on generated drawings of mixed kinds (about 80 %
// lines, 10 % Japanese texts, the rest arcs, points, solids, dimensions and
// insertions). Bytes per second are those of the file. Run it with the
// allocator settings the command line uses (see bench/README.md) to see the
// figures without the cost of 4 KB page faults.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "jww/archive.h"
#include "jww/document.h"
#include "tools/sample_drawings.h"

namespace {

std::vector<uint8_t> FileImage(int entities) {
  jww::TJwwData doc = tools::MakeBenchDrawing(entities, 7);
  jww::ByteWriter out;
  doc.WriteToBuffer(out, 700);
  return out.buffer();
}

void BM_Read(benchmark::State& state) {
  const std::vector<uint8_t> bytes = FileImage(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    jww::TJwwData doc;
    benchmark::DoNotOptimize(doc.ReadFromBuffer(bytes));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_Write(benchmark::State& state) {
  jww::TJwwData doc = tools::MakeBenchDrawing(static_cast<int>(state.range(0)), 7);
  const size_t size = FileImage(static_cast<int>(state.range(0))).size();
  for (auto _ : state) {
    std::FILE* sink = std::fopen("/dev/null", "wb");
    jww::ByteWriter out(sink);
    benchmark::DoNotOptimize(doc.WriteToBuffer(out, 700));
    out.flush();
    std::fclose(sink);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

}  // namespace

BENCHMARK(BM_Read)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
