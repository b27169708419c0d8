// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of SXF figure explosion: one figure of mixed members placed many
// times with rotation and unequal scales (the slow path of arcs and texts).
#include <benchmark/benchmark.h>

#include <cmath>

#include "jww/document.h"
#include "jww/sxf_explode.h"

using namespace jww;

namespace {

TJwwData FigureDrawing(int placements) {
  TJwwData doc;
  doc.EntLgrp.resize(kLayerGroups);
  doc.EntLay.resize(kLayers);
  TEntJwwBlockDef d;
  d.nNumber = 1;
  d.strName = u"FIG@@SFIGORGFLAG@@1";
  for (int i = 0; i < 100; ++i) {
    TEntJwwLine l;
    l.end_x = i;
    l.end_y = 1;
    d.mLine.push_back(l);
    d.mNo.push_back({kLine, d.mLineN++});
  }
  for (int i = 0; i < 50; ++i) {
    TEntJwwEnko e;
    e.dHankei = 1 + i;
    e.dHenpeiRitsu = 1;
    e.radEnkoKaku = 1.5;
    d.mEnko.push_back(e);
    d.mNo.push_back({kEnko, d.mEnkoN++});
  }
  for (int i = 0; i < 20; ++i) {
    TEntJwwMoji m;
    m.str = u"部屋 A-" + std::u16string(1, char16_t(u'0' + i % 10));
    m.end_x = 10;
    m.dSizeX = m.dSizeY = 3;
    d.mMoji.push_back(m);
    d.mNo.push_back({kMoji, d.mMojiN++});
  }
  for (int i = 0; i < 10; ++i) {
    TEntJwwSunpo s;
    s.Sen.end_x = 100;
    s.Moji.str = u"100";
    s.Moji.end_x = 6;
    s.Moji.dSizeX = s.Moji.dSizeY = 2;
    s.Moji.att.nPenWidth = 2;
    d.mSunpo.push_back(s);
    d.mNo.push_back({kSunpo, d.mSunpoN++});
  }
  d.N = static_cast<int32_t>(d.mNo.size());
  doc.EntBlockDef.push_back(std::move(d));
  doc.EntBlockDefN = 1;
  for (int p = 0; p < placements; ++p) {
    TEntJwwBlock b;
    b.nNumber = 1;
    b.DPKijunTen_x = p * 10;
    b.dBairitsuX = 2;
    b.dBairitsuY = 0.5 + (p % 3);
    b.radKaitenKaku = 0.1 * p;
    doc.EntBlock.push_back(b);
    doc.EntNo.push_back({kBlock, doc.EntBlockN++});
    ++doc.Enthd.n1;
  }
  doc.MakeBlockTree();
  return doc;
}

void BM_DataTransJWW(benchmark::State& state) {
  const TJwwData source = FigureDrawing(static_cast<int>(state.range(0)));
  int64_t copies = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TJwwData doc = source;
    state.ResumeTiming();
    ExplodeReport r = DataTransJWW(doc);
    copies += r.copies;
    benchmark::DoNotOptimize(doc.EntLineN);
  }
  state.counters["copies/s"] =
      benchmark::Counter(static_cast<double>(copies), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DataTransJWW)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ArcUnderShear(benchmark::State& state) {
  TJwwData doc;
  TEntJwwEnko e;
  e.dHankei = 5;
  e.dHenpeiRitsu = 0.7;
  e.radEnkoKaku = 2;
  TPlacement t;
  t.m11 = 2 * std::cos(0.3);
  t.m12 = -0.5 * std::sin(0.3);
  t.m21 = 2 * std::sin(0.3);
  t.m22 = 0.5 * std::cos(0.3);
  for (auto _ : state) {
    if (doc.EntEnkoN >= 100000) {
      doc.EntEnkoN = 0;
      doc.Enthd.n1 = 0;
    }
    benchmark::DoNotOptimize(doc.BlockExplodeEnko(e, t));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ArcUnderShear);

}  // namespace

BENCHMARK_MAIN();
