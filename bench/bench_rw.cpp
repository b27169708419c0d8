// SPDX-License-Identifier: GPL-3.0-or-later
// Reader and writer throughput on generated drawings of mixed kinds (about 80 %
// lines, 10 % Japanese texts, the rest arcs, points, solids, dimensions and
// insertions). Bytes per second are those of the file. Run it with the
// allocator settings the command line uses (see bench/README.md) to see the
// figures without the cost of 4 KB page faults.
//
// BM_WriteDefinitions writes drawings of N distinct block definitions (one
// line each), every one placed once: renumbering the insertions must stay
// linear in N.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

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

// Writes `doc` to /dev/null once per iteration; `size` is its file size.
void MeasureWrite(benchmark::State& state, jww::TJwwData& doc, size_t size) {
  for (auto _ : state) {
    std::FILE* sink = std::fopen("/dev/null", "wb");
    jww::ByteWriter out(sink);
    benchmark::DoNotOptimize(doc.WriteToBuffer(out, 700));
    out.flush();
    std::fclose(sink);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_Write(benchmark::State& state) {
  jww::TJwwData doc = tools::MakeBenchDrawing(static_cast<int>(state.range(0)), 7);
  MeasureWrite(state, doc, FileImage(static_cast<int>(state.range(0))).size());
}

// Built record by record: the builders look every new name up among all
// definitions, which is not what this measures.
jww::TJwwData ManyDefinitions(int n) {
  jww::TJwwData doc;
  doc.DataDefaultSet();
  doc.EntBlockDef.resize(static_cast<size_t>(n));
  doc.EntBlock.resize(static_cast<size_t>(n));
  doc.EntNo.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    jww::TEntJwwBlockDef& d = doc.EntBlockDef[static_cast<size_t>(i)];
    // Numbers far from their dense positions, so that every one is renumbered.
    d.nNumber = static_cast<uint32_t>(3 * i + 7);
    for (char c : "def" + std::to_string(i)) d.strName.push_back(static_cast<char16_t>(c));
    d.mLine.resize(1);
    d.mLine[0].att.nPenStyle = 1;
    d.mLine[0].att.nPenColor = 1;
    d.mLine[0].end_x = i;
    d.mLineN = 1;
    d.mNo = {jww::TEntJwwNo{jww::kLine, 0}};
    d.N = 1;
    jww::TEntJwwBlock& b = doc.EntBlock[static_cast<size_t>(i)];
    b.att.nPenStyle = 1;
    b.att.nPenColor = 1;
    b.dBairitsuX = b.dBairitsuY = 1;
    b.DPKijunTen_x = i;
    // Placed in reverse order, so that no lookup meets its definition early.
    b.nNumber = static_cast<uint32_t>(3 * (n - 1 - i) + 7);
    doc.EntNo[static_cast<size_t>(i)] = jww::TEntJwwNo{jww::kBlock, i};
  }
  doc.EntBlockDefN = n;
  doc.EntBlockN = n;
  doc.Enthd.n1 = n;
  doc.MakeBlockTree();
  return doc;
}

void BM_WriteDefinitions(benchmark::State& state) {
  jww::TJwwData doc = ManyDefinitions(static_cast<int>(state.range(0)));
  jww::ByteWriter image;
  doc.WriteToBuffer(image, 700);
  MeasureWrite(state, doc, image.buffer().size());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_Read)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteDefinitions)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
