// SPDX-License-Identifier: GPL-3.0-or-later
// SFC texts of any bytes in every record that holds a text: Shift-JIS that
// breaks off or starts nothing, quotes and backslashes inside and around
// escaped texts, UTF-8 files (said in the header or by a byte-order mark)
// with bytes that are no UTF-8, and figure names that match or do not. The
// drawing is written in a version the fuzzer picks: below 700 every text
// goes through code page 932.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_sfc_support.h"
#include "tools/sample_sfc.h"

namespace {

// Records with a text where "@" stands.
constexpr const char* kTemplates[] = {
    "layer_feature(@,'1')",
    "text_font_feature(@)",
    "pre_defined_colour_feature(@)",
    "pre_defined_font_feature(@)",
    "user_defined_font_feature(@,'2','(1,2)')",
    "drawing_sheet_feature(@,'3','1','0','0')",
    "text_string_feature('1','1','1',@,'10','10','5','15','0.5','30','0','5','2')",
    "sfig_org_feature(@,'1')",
    "sfig_org_feature(@,'4')",
    "sfig_locate_feature('1',@,'0','0','0','1','1')",
    "drawing_attribute_feature(@,@,@,@,@,@,@,'2026','1','1',@,@)",
    "label_feature('1','2','1','1','2','(0,9)','(0,9)','3','1','1','1',@,'9','9','3.5','7','0',"
    "'0','0','1','1')",
    "radius_dim_feature('1','2','1','1','0','0','10','0','3','1','10','0','1','1','1',@,'5','1',"
    "'3.5','10.5','0','0','0','2','1')",
};

// The text as it stands in the file: the bytes as they are between \' and
// \' (escapes and quotes of the input included), escaped as writers do, or
// between plain quotes.
std::string Quote(const std::string& text, int how) {
  if (how == 0) return "\\'" + text + "\\'";
  if (how == 2) return "'" + text + "'";
  std::string q = "\\'";
  for (const char c : text) {
    if (c == '\'' || c == '\\') q.push_back('\\');
    q.push_back(c);
  }
  return q + "\\'";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  constexpr int kVersions[] = {700, 600, 420, 351, 300, 230};
  const int version = kVersions[in.ConsumeIntegralInRange<size_t>(0, std::size(kVersions) - 1)];
  const int encoding = in.ConsumeIntegralInRange(0, 2);  // Shift-JIS, UTF-8 said, UTF-8 marked
  int64_t n = 10;
  std::string d;
  for (int k = 0; k < 32 && in.remaining_bytes() > 0; ++k) {
    const std::string tmpl =
        kTemplates[in.ConsumeIntegralInRange<size_t>(0, std::size(kTemplates) - 1)];
    const int how = in.ConsumeIntegralInRange(0, 2);
    std::string body;
    for (const char c : tmpl)
      body += c == '@' ? Quote(in.ConsumeRandomLengthString(64), how) : std::string(1, c);
    d += tools::SfcRecord(n, body);
    n += 10;
  }
  std::string file = tools::SfcEnvelope(d);
  if (encoding == 1) file.replace(file.find("feature_mode"), 12, "feature_mode UTF-8");
  if (encoding == 2) file.insert(0, "\xEF\xBB\xBF");
  fuzz::ConvertSfc(file, version);
  return 0;
}
