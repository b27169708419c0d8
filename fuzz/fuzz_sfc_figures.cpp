// SPDX-License-Identifier: GPL-3.0-or-later
// SFC files whose figures form a graph the fuzzer chooses: sub-drawings and
// symbols of every flag, placements of them on the sheet and inside each
// other, placements of figures that do not exist, figures defined twice,
// rings, and chains hundreds deep or fanning out a millionfold. The file is
// read and converted with the fuzzers' bound on copies (the conversion's own
// bound is tested in the test suite).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_sfc_support.h"
#include "tools/sample_sfc.h"

namespace {

struct Writer {
  std::string data;
  int64_t n = 10;
  void Add(const std::string& body) {
    data += tools::SfcRecord(n, body);
    n += 10;
  }
};

std::string Name(int figure) { return "\\'f" + std::to_string(figure) + "\\'"; }

void Place(Writer& w, FuzzedDataProvider& in, int figure) {
  constexpr const char* kRatios[] = {"1", "0.5", "0.002", "2", "-1", "0", "1e-300", "1e300"};
  const char* ratio = kRatios[in.ConsumeIntegralInRange<size_t>(0, std::size(kRatios) - 1)];
  const int x = in.ConsumeIntegralInRange(-1000, 1000);
  const int angle = in.ConsumeIntegralInRange(-360, 360);
  w.Add("sfig_locate_feature('" + std::to_string(in.ConsumeIntegralInRange(0, 3)) + "'," +
        Name(figure) + ",'" + std::to_string(x) + "','10','" + std::to_string(angle) + "','" +
        ratio + "','" + ratio + "')");
}

void Members(Writer& w, FuzzedDataProvider& in) {
  const int lines = in.ConsumeIntegralInRange(0, 3);
  for (int k = 0; k < lines; ++k)
    w.Add("line_feature('" + std::to_string(in.ConsumeIntegralInRange(0, 3)) +
          "','1','1','1','0','0','" + std::to_string(k + 1) + "','1')");
  if (in.ConsumeBool())
    w.Add("text_string_feature('1','1','1',\\'t\\','0','0','5','5','0','0','0','1','1')");
}

void Org(Writer& w, FuzzedDataProvider& in, int figure) {
  // Flags outside 1 to 4 now and then: the reader must refuse them.
  const int flag = in.ConsumeIntegralInRange(0, 9) == 0 ? in.ConsumeIntegralInRange(-1, 6)
                                                        : in.ConsumeIntegralInRange(1, 4);
  w.Add("sfig_org_feature(" + Name(figure) + ",'" + std::to_string(flag) + "')");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Writer w;
  // A chain: figure c0 holds lines, each next one places the one before it
  // `fanOut` times; the sheet places the last.
  // Mostly short chains; now and then one of hundreds of figures (each
  // level's placements are walked up to the root: thousands deep take
  // seconds a run under the sanitizers and find nothing new).
  const int chain = !in.ConsumeBool()                      ? 0
                    : in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeIntegralInRange(1, 500)
                                                           : in.ConsumeIntegralInRange(1, 40);
  const int fanOut = in.ConsumeIntegralInRange(1, 12);
  const int first = 1000000;  // chain figures are numbered apart from the others
  for (int k = 0; k < chain; ++k) {
    if (k == 0) w.Add("line_feature('1','1','1','1','0','0','1','1')");
    for (int j = 0; k > 0 && j < fanOut; ++j)
      w.Add("sfig_locate_feature('1'," + Name(first + k - 1) + ",'" + std::to_string(j) +
            "','0','0','1','1')");
    w.Add("sfig_org_feature(" + Name(first + k) + ",'" + (k + 1 == chain ? "1" : "3") + "')");
  }
  // A graph of up to 40 figures; placements name figures 0 to `figures`, the
  // last of which is never defined.
  const int figures = in.ConsumeIntegralInRange(0, 40);
  for (int f = 0; f < figures && in.remaining_bytes() > 0; ++f) {
    Members(w, in);
    const int placed = in.ConsumeIntegralInRange(0, 4);
    for (int k = 0; k < placed; ++k) Place(w, in, in.ConsumeIntegralInRange(0, figures));
    if (chain > 0 && in.ConsumeBool())
      Place(w, in, first + in.ConsumeIntegralInRange(0, chain - 1));
    // Now and then a figure named as an earlier one.
    Org(w, in, in.ConsumeIntegralInRange(0, 15) == 0 ? in.ConsumeIntegralInRange(0, f) : f);
  }
  Members(w, in);
  if (chain > 0) Place(w, in, first + chain - 1);
  const int onSheet = in.ConsumeIntegralInRange(0, 20);
  for (int k = 0; k < onSheet && in.remaining_bytes() > 0; ++k)
    Place(w, in, in.ConsumeIntegralInRange(0, figures));
  w.Add("drawing_sheet_feature(\\'s\\','3','1','0','0')");
  w.Add("layer_feature(\\'L1\\','1')");
  w.Add("layer_feature(\\'L2\\','1')");
  fuzz::ConvertSfc(tools::SfcEnvelope(w.data));
  return 0;
}
