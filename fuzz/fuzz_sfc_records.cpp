// SPDX-License-Identifier: GPL-3.0-or-later
// SFC records of every known feature (and unknown ones) in a valid file,
// their arguments chosen by the fuzzer: records cut short at any byte,
// argument lists too short or too long, arguments that are not numbers,
// lists or texts where those are wanted, names the reader does not know.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_sfc_support.h"
#include "sxf/sfc_drawing.h"
#include "tools/sample_sfc.h"

namespace {

// Tables and a figure before the fuzzer's records, so that codes and
// placements have something to name.
std::string Prologue(int64_t& n) {
  std::string d;
  for (const char* body :
       {"layer_feature(\\'L1\\','1')", "layer_feature(\\'L2\\','0')",
        "user_defined_colour_feature('10','20','30')", "width_feature('0.3')",
        "user_defined_font_feature(\\'u\\','2','(1,2)')", "text_font_feature(\\'f\\')",
        "polyline_feature('0','0','0','0','4','(0,9,9,0)','(0,0,9,9)')",
        "line_feature('0','0','0','0','0','9','0','0')",
        "composite_curve_org_feature('1','1','1','1')",
        "line_feature('1','1','1','1','0','0','5','5')", "sfig_org_feature(\\'fig\\','1')"}) {
    d += tools::SfcRecord(n, body);
    n += 10;
  }
  return d;
}

std::string Quoted(const std::string& arg) {
  std::string q = "'";
  for (const char c : arg)
    if (c != '\'') q.push_back(c);
  return q + "'";
}

std::string Record(FuzzedDataProvider& in, int64_t n) {
  const auto layouts = sxf::SfcLayouts();
  const size_t kind = in.ConsumeIntegralInRange<size_t>(0, layouts.size());
  const uint8_t mode = in.ConsumeIntegral<uint8_t>();
  std::string name;
  int count = 0;
  if (kind < layouts.size()) {
    name = layouts[kind].name;
    count = layouts[kind].args;
  } else {
    name = in.ConsumeRandomLengthString(40);
  }
  if (count < 0 || (mode & 0x01)) count = in.ConsumeIntegralInRange(0, 50);
  std::string body = name + "(";
  for (int k = 0; k < count; ++k) {
    if (k > 0) body += ",";
    // Mostly numbers, which most arguments are; lists and texts come from
    // the dictionary and the mutations.
    std::string arg = in.ConsumeRandomLengthString(24);
    if (arg.empty()) arg = "1";
    body += (mode & 0x02) ? arg : Quoted(arg);
  }
  body += ")";
  // A record cut short at a byte of the fuzzer's choosing, its comment closed.
  if (mode & 0x04) body.resize(in.ConsumeIntegralInRange<size_t>(0, body.size()));
  return tools::SfcRecord(n, body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  int64_t n = 10;
  std::string d = Prologue(n);
  for (int k = 0; k < 64 && in.remaining_bytes() > 0; ++k) {
    d += Record(in, n);
    n += 10;
  }
  for (const char* body : {"sfig_locate_feature('1',\\'fig\\','100','100','30','0.5','0.5')",
                           "drawing_sheet_feature(\\'s\\','3','1','0','0')"}) {
    d += tools::SfcRecord(n, body);
    n += 10;
  }
  fuzz::ConvertSfc(tools::SfcEnvelope(d));
  return 0;
}
