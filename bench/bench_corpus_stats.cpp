// SPDX-License-Identifier: GPL-3.0-or-later
// What real drawings are made of, for a benchmark drawing that looks like
// them: prints, over every drawing of a folder (BRINDLE_CORPUS or the first
// argument), the mix of entity kinds, line lengths in millimetres on the
// sheet, the share of texts and their characters, the share of level texts
// and how often blocks are placed. Counts the stored records (top level and
// block members); lengths and texts are the top level's, which are sheet
// millimetres.
//
//   build/bench_corpus_stats [DIR]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "jww/document.h"

namespace {

struct Stats {
  int files = 0;
  std::map<std::string, int64_t> kinds;  // top level and members alike
  int64_t members = 0;                   // of those, inside block definitions
  std::vector<double> lineMm;            // top-level line lengths
  std::vector<int> textChars;            // characters per top-level text
  std::vector<double> textHeightMm;
  int64_t levelTexts = 0;
  int64_t definitions = 0;
  int64_t textsOfCommonSize = 0;  // texts with the drawing's most common (font, height)
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

void AddKinds(Stats& s, int64_t lines, int64_t arcs, int64_t points, int64_t texts, int64_t dims,
              int64_t solids, int64_t blocks) {
  s.kinds["lines"] += lines;
  s.kinds["arcs and circles"] += arcs;
  s.kinds["points"] += points;
  s.kinds["texts"] += texts;
  s.kinds["dimensions"] += dims;
  s.kinds["solids"] += solids;
  s.kinds["block insertions"] += blocks;
}

void Measure(const jww::TJwwData& doc, Stats& s) {
  ++s.files;
  AddKinds(s, doc.EntLineN, doc.EntEnkoN, doc.EntTenN, doc.EntMojiN, doc.EntSunpoN, doc.EntSolidN,
           doc.EntBlockN);
  for (int32_t i = 0; i < doc.EntLineN; ++i) {
    const jww::TEntJwwLine& l = doc.EntLine[i];
    s.lineMm.push_back(std::hypot(l.end_x - l.start_x, l.end_y - l.start_y));
  }
  std::map<std::pair<std::u16string, double>, int64_t> sizes;
  for (int32_t i = 0; i < doc.EntMojiN; ++i) {
    const jww::TEntJwwMoji& m = doc.EntMoji[i];
    int chars = 0;
    for (char16_t c : m.str) chars += (c < 0xDC00 || c > 0xDFFF);  // a surrogate pair is one
    s.textChars.push_back(chars);
    s.textHeightMm.push_back(m.dSizeY);
    const double turn = std::remainder(m.degKakudo, 360.0);
    s.levelTexts += std::abs(turn) < 1e-9;
    ++sizes[{m.strFontName, m.dSizeY}];
  }
  int64_t common = 0;
  for (const auto& [key, n] : sizes) common = std::max(common, n);
  s.textsOfCommonSize += common;
  for (int32_t d = 0; d < doc.EntBlockDefN; ++d) {
    const jww::TEntJwwBlockDef& def = doc.EntBlockDef[d];
    ++s.definitions;
    AddKinds(s, def.mLineN, def.mEnkoN, def.mTenN, def.mMojiN, def.mSunpoN, def.mSolidN,
             def.mBlockN);
    s.members +=
        def.mLineN + def.mEnkoN + def.mTenN + def.mMojiN + def.mSunpoN + def.mSolidN + def.mBlockN;
  }
}

void Print(const Stats& s) {
  int64_t total = 0;
  for (const auto& [k, n] : s.kinds) total += n;
  std::printf("drawings %d, entities %lld (%lld of them members of %lld block definitions)\n\n",
              s.files, static_cast<long long>(total), static_cast<long long>(s.members),
              static_cast<long long>(s.definitions));
  std::printf("%-18s %9s %7s\n", "kind", "count", "share");
  for (const auto& [k, n] : s.kinds)
    std::printf("%-18s %9lld %6.1f%%\n", k.c_str(), static_cast<long long>(n),
                total ? 100.0 * n / total : 0.0);
  std::printf("\nline length on the sheet (mm), %zu top-level lines\n", s.lineMm.size());
  for (double p : {0.1, 0.25, 0.5, 0.75, 0.9, 0.99})
    std::printf("  p%-3.0f %9.2f\n", p * 100, Percentile(s.lineMm, p));
  const double edges[] = {0.5, 2, 5, 20, 100, 1e300};
  const char* names[] = {"< 0.5", "0.5-2", "2-5", "5-20", "20-100", ">= 100"};
  for (int b = 0; b < 6; ++b) {
    const double lo = b ? edges[b - 1] : -1;
    const auto n = std::count_if(s.lineMm.begin(), s.lineMm.end(),
                                 [&](double v) { return v >= lo && v < edges[b]; });
    std::printf("  %-7s %6.1f%%\n", names[b],
                s.lineMm.empty() ? 0.0 : 100.0 * static_cast<double>(n) / s.lineMm.size());
  }
  std::vector<double> chars(s.textChars.begin(), s.textChars.end());
  double sum = 0;
  for (double c : chars) sum += c;
  std::printf("\ntop-level texts %zu: characters mean %.1f, median %.0f, p90 %.0f, total %.0f\n",
              chars.size(), chars.empty() ? 0.0 : sum / chars.size(), Percentile(chars, 0.5),
              Percentile(chars, 0.9), sum);
  std::printf("text height (mm) median %.2f, p10 %.2f, p90 %.2f\n", Percentile(s.textHeightMm, 0.5),
              Percentile(s.textHeightMm, 0.1), Percentile(s.textHeightMm, 0.9));
  std::printf("level texts %.1f%%; texts of each drawing's most common font and height %.1f%%\n",
              chars.empty() ? 0.0 : 100.0 * s.levelTexts / chars.size(),
              chars.empty() ? 0.0 : 100.0 * s.textsOfCommonSize / chars.size());
  std::printf("block insertions per 1000 entities %.1f\n",
              total ? 1000.0 * s.kinds.at("block insertions") / total : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  const char* env = std::getenv("BRINDLE_CORPUS");
  const std::string dir = argc > 1 ? argv[1] : (env ? env : "");
  if (dir.empty()) {
    std::fprintf(stderr, "usage: bench_corpus_stats DIR (or BRINDLE_CORPUS=DIR)\n");
    return 2;
  }
  Stats stats;
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.path().extension() == ".jww") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    jww::TJwwData doc;
    if (doc.FileIn(f.string()))
      Measure(doc, stats);
    else
      std::fprintf(stderr, "%s: not read\n", f.c_str());
  }
  Print(stats);
  return 0;
}
