// SPDX-License-Identifier: GPL-3.0-or-later
// The demo plan and the generated benchmark drawings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "jww/dump.h"
#include "jww/sxf_explode.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"
#include "util/text.h"

using jww::TJwwData;

using TempDir = testjww::TempDir;

namespace {

bool IsSxfFigure(const std::u16string& name, char flag) {
  const std::u16string marker = std::u16string(u"@@SFIGORGFLAG@@") + static_cast<char16_t>(flag);
  return util::StrUpper(name).find(marker) != std::u16string::npos;
}

int CountVisible(const TJwwData& d, int32_t kind) {
  int n = 0;
  for (int32_t i = 0; i < d.Enthd.n1; ++i) n += d.EntNo[i].EntType == kind;
  return n;
}

TJwwData ReadBack(const std::string& path) {
  TJwwData d;
  EXPECT_TRUE(d.FileCheck(path)) << path;
  EXPECT_TRUE(d.FileIn(path)) << path;
  return d;
}

// Rotation and scale of a point are stored only for points with a code.
void ClearUnstoredPointValues(TJwwData& d) {
  const auto clear = [](jww::TEntJwwTen& t) {
    if (t.att.nPenStyle != 100) t.radKaitenKaku = t.dBairitsu = 0;
  };
  const auto inDimension = [&](jww::TEntJwwSunpo& s) {
    for (auto* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) clear(*t);
  };
  for (int32_t i = 0; i < d.EntTenN; ++i) clear(d.EntTen[i]);
  for (int32_t i = 0; i < d.EntSunpoN; ++i) inDimension(d.EntSunpo[i]);
  for (int32_t k = 0; k < d.EntBlockDefN; ++k) {
    auto& b = d.EntBlockDef[k];
    for (int32_t i = 0; i < b.mTenN; ++i) clear(b.mTen[i]);
    for (int32_t i = 0; i < b.mSunpoN; ++i) inDimension(b.mSunpo[i]);
  }
}

}  // namespace

TEST(SamplePlan, HoldsWhatTheConversionMustHandle) {
  const TJwwData d = tools::MakeSamplePlan();
  EXPECT_EQ(d.Enthd.jwVer, 700);
  EXPECT_GT(d.EntLineN, 20);
  EXPECT_GT(d.EntEnkoN, 3);
  EXPECT_GT(d.EntTenN, 0);
  EXPECT_GT(d.EntMojiN, 5);
  EXPECT_GT(d.EntSunpoN, 3);
  EXPECT_GT(d.EntSolidN, 3);
  EXPECT_GT(d.EntBlockN, 10);
  EXPECT_EQ(d.EntLine.size(), static_cast<size_t>(d.EntLineN));  // trimmed

  int flag1 = 0, flag2 = 0, plain = 0, nested = 0;
  for (int32_t i = 0; i < d.EntBlockDefN; ++i) {
    const auto& b = d.EntBlockDef[i];
    flag1 += IsSxfFigure(b.strName, '1');
    flag2 += IsSxfFigure(b.strName, '2');
    plain += util::StrUpper(b.strName).find(u"@@SFIG") == std::u16string::npos;
    if (b.mBlockN > 0 && IsSxfFigure(b.strName, '1')) ++nested;
    EXPECT_GT(b.N, 0);
  }
  EXPECT_GE(flag1, 2);
  EXPECT_GE(flag2, 1);
  EXPECT_EQ(plain, 1);
  EXPECT_EQ(nested, 1);

  bool rotated = false, mirrored = false, unequal = false, keepsLayers = false;
  for (int32_t i = 0; i < d.EntBlockN; ++i) {
    const auto& b = d.EntBlock[i];
    rotated |= b.radKaitenKaku != 0;
    mirrored |= b.dBairitsuX < 0 || b.dBairitsuY < 0;
    unequal |= std::fabs(b.dBairitsuX) != std::fabs(b.dBairitsuY);
    keepsLayers |= (b.att.nPenStyle & 0x40) != 0;
  }
  EXPECT_TRUE(rotated && mirrored && unequal && keepsLayers);

  bool sxfDimension = false, ellipse = false, arcSolid = false, japanese = false;
  for (int32_t i = 0; i < d.EntSunpoN; ++i) sxfDimension |= d.EntSunpo[i].bSxfMode != 0;
  for (int32_t i = 0; i < d.EntEnkoN; ++i) ellipse |= d.EntEnko[i].dHenpeiRitsu != 1.0;
  for (int32_t i = 0; i < d.EntSolidN; ++i) arcSolid |= d.EntSolid[i].att.nPenStyle > 100;
  for (int32_t i = 0; i < d.EntMojiN; ++i)
    japanese |= d.EntMoji[i].str.find(u'室') != std::u16string::npos;
  EXPECT_TRUE(sxfDimension && ellipse && arcSolid && japanese);

  // The tree holds every placement plus the doors placed inside the wash units.
  EXPECT_EQ(d.EntBlockTreeN, d.EntBlockN + 2);
}

TEST(SamplePlan, ExplosionLeavesOnlyThePlainBlockPlaced) {
  TJwwData d = tools::MakeSamplePlan();
  const int32_t definitions = d.EntBlockDefN;
  const jww::ExplodeReport report = jww::DataTransJWW(d);
  EXPECT_EQ(report.figures, definitions - 1);
  EXPECT_TRUE(report.warnings.empty());
  ASSERT_EQ(CountVisible(d, jww::kBlock), 1);
  for (int32_t i = 0; i < d.Enthd.n1; ++i) {
    if (d.EntNo[i].EntType != jww::kBlock) continue;
    const uint32_t number = d.EntBlock[d.EntNo[i].EntNo].nNumber;
    for (int32_t k = 0; k < d.EntBlockDefN; ++k) {
      if (d.EntBlockDef[k].nNumber == number) {
        EXPECT_EQ(d.EntBlockDef[k].strName, u"方位記号");
      }
    }
  }
  // The copies of each figure sit in a layer group of its own.
  std::set<int> groups;
  for (int32_t i = 0; i < d.Enthd.n1; ++i) {
    if (d.EntNo[i].EntType == jww::kLine) groups.insert(d.EntLine[d.EntNo[i].EntNo].att.nGLayer);
  }
  EXPECT_EQ(groups, (std::set<int>{0, 1, 2, 3, 4, 5}));
  // Drawn at full size and placed at 1/50, one detail at 1/20: the groups
  // of the copies say so, as the plan's own group does.
  const double scales[] = {50, 50, 50, 50, 50, 20};
  for (int g = 0; g < 6; ++g) EXPECT_NEAR(d.EntLgrp[g].adScale, scales[g], 1e-9) << "group " << g;
}

TEST(SamplePlan, WrittenInEveryVersion) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(tools::WriteSamplePlans(dir.path().string(), &error)) << error;
  const struct {
    const char* name;
    int32_t version;
    bool utf16;
  } files[] = {{"plan.jww", 700, false},     {"plan-230.jww", 230, false},
               {"plan-420.jww", 420, false}, {"plan-600.jww", 600, false},
               {"plan-700.jww", 700, false}, {"plan-utf16.jww", 700, true}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const TJwwData d = ReadBack(dir / f.name);
    EXPECT_EQ(d.Enthd.jwVer, f.version);
    EXPECT_EQ(d.MojiEncode, f.utf16);
    EXPECT_GT(d.EntBlockDefN, 0);
  }

  TJwwData built = tools::MakeSamplePlan();
  ClearUnstoredPointValues(built);
  const std::string want = jww::DumpDocument(built);
  EXPECT_EQ(jww::DumpDocument(ReadBack(dir / "plan.jww")), want);
  EXPECT_EQ(jww::DumpDocument(ReadBack(dir / "plan-utf16.jww")), want);
}

TEST(SamplePlan, WriteFailsIntoAFile) {
  TempDir dir;
  const std::string blocker = dir / "not-a-folder";
  std::FILE* f = std::fopen(blocker.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::string error;
  EXPECT_FALSE(tools::WriteSamplePlans(blocker, &error));
  EXPECT_FALSE(error.empty());
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SamplePlan, ExistingFilesAreNeverReplaced) {
  TempDir dir;
  std::ofstream(dir / "plan.jww") << "mine";
  std::ofstream(dir / "plan-420.jww") << "also mine";
  std::filesystem::create_directory(dir / "plan-600.jww");  // a folder is no drawing to keep
  std::string error;
  std::vector<std::string> kept;
  EXPECT_FALSE(tools::WriteSamplePlans(dir.path().string(), &error, &kept));
  EXPECT_NE(error.find("plan-600.jww"), std::string::npos) << error;
  std::filesystem::remove(dir / "plan-600.jww");

  kept.clear();
  ASSERT_TRUE(tools::WriteSamplePlans(dir.path().string(), &error, &kept)) << error;
  // plan-230.jww was written by the first run, before it stopped.
  EXPECT_EQ(kept, (std::vector<std::string>{dir / "plan.jww", dir / "plan-230.jww",
                                            dir / "plan-420.jww"}));
  EXPECT_EQ(FileText(dir / "plan.jww"), "mine");
  EXPECT_EQ(FileText(dir / "plan-420.jww"), "also mine");
  EXPECT_EQ(ReadBack(dir / "plan-600.jww").Enthd.jwVer, 600);
}

// The program run twice: the second run keeps every file, says so, and
// succeeds; no temporary file is left.
TEST(SamplesProgram, SecondRunKeepsEveryFile) {
  const char* bin = std::getenv("BRINDLE_BIN_DIR");
  if (bin == nullptr) GTEST_SKIP() << "BRINDLE_BIN_DIR is not set (run through ctest)";
  const std::string program = (std::filesystem::path(bin) / "brindle-samples").string();
  ASSERT_TRUE(std::filesystem::exists(program)) << program << " is missing: ninja brindle-samples";
  TempDir dir;
  const std::string out = dir / "out";
  const std::string run = program + " '" + out + "' --bench 50 >'" + (dir / "log") + "' 2>&1";
  ASSERT_EQ(std::system(run.c_str()), 0) << FileText(dir / "log");
  const std::string first = FileText(out + "/bench-50.jww");
  std::ofstream(out + "/plan.jww") << "edited";

  ASSERT_EQ(std::system(run.c_str()), 0) << FileText(dir / "log");
  const std::string log = FileText(dir / "log");
  for (const char* name : {"plan.jww", "plan-utf16.jww", "bench-50.jww"})
    EXPECT_NE(log.find(std::string(name) + " exists, kept as it is"), std::string::npos) << log;
  EXPECT_EQ(FileText(out + "/plan.jww"), "edited");
  EXPECT_EQ(FileText(out + "/bench-50.jww"), first);
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(out)) ++files;
  EXPECT_EQ(files, 7);
}

TEST(SamplePlan, CommittedDemoMatchesTheBuiltPlan) {
  const char* source = std::getenv("BRINDLE_SOURCE_DIR");
  if (source == nullptr) GTEST_SKIP() << "BRINDLE_SOURCE_DIR is not set (run through ctest)";
  const auto committed = std::filesystem::path(source) / "samples" / "plan.jww";
  ASSERT_TRUE(std::filesystem::exists(committed)) << committed;
  TJwwData built = tools::MakeSamplePlan();
  ClearUnstoredPointValues(built);
  EXPECT_EQ(jww::DumpDocument(ReadBack(committed.string())), jww::DumpDocument(built))
      << "samples/plan.jww is out of date: delete it and run brindle-samples samples";
}

TEST(BenchDrawing, MixOfKindsAndDeterminism) {
  const TJwwData d = tools::MakeBenchDrawing(5000, 7);
  const int total = d.Enthd.n1;
  EXPECT_EQ(total, 5000);
  const double lines = CountVisible(d, jww::kLine) / double(total);
  const double texts = CountVisible(d, jww::kMoji) / double(total);
  EXPECT_NEAR(lines, 0.80, 0.03);
  EXPECT_NEAR(texts, 0.10, 0.02);
  for (int32_t kind : {jww::kEnko, jww::kTen, jww::kSunpo, jww::kSolid, jww::kBlock}) {
    EXPECT_GT(CountVisible(d, kind), 0) << kind;
  }
  EXPECT_EQ(d.EntBlockDefN, 4);
  bool japanese = false;
  for (int32_t i = 0; i < d.EntMojiN; ++i)
    japanese |= d.EntMoji[i].str.find(u'室') != std::u16string::npos;
  EXPECT_TRUE(japanese);

  EXPECT_EQ(jww::DumpDocument(tools::MakeBenchDrawing(5000, 7)), jww::DumpDocument(d));
  EXPECT_NE(jww::DumpEntities(tools::MakeBenchDrawing(5000, 8)), jww::DumpEntities(d));
}

// The plan-like drawing keeps the shares measured on the real drawings
// (bench/README.md): kinds, line lengths on the sheet, level texts; its cells
// tile the sheet without overlapping.
TEST(BenchDrawing, PlanLikeSharesAndTiles) {
  const TJwwData d = tools::MakePlanBenchDrawing(20000, 7);
  const double total = d.Enthd.n1;
  EXPECT_NEAR(total, 20000, 2);
  EXPECT_NEAR(d.EntLineN / total, 0.898, 0.02);
  EXPECT_NEAR(d.EntMojiN / total, 0.075, 0.01);
  const struct {
    double below, share;
  } lengths[] = {{0.5, 0.517}, {2, 0.703}, {20, 0.886}, {100, 0.974}};
  for (const auto& bin : lengths) {
    int n = 0;
    for (int32_t i = 0; i < d.EntLineN; ++i) {
      const auto& l = d.EntLine[i];
      n += std::hypot(l.end_x - l.start_x, l.end_y - l.start_y) < bin.below;
    }
    EXPECT_NEAR(n / double(d.EntLineN), bin.share, 0.02) << bin.below;
  }
  int level = 0;
  for (int32_t i = 0; i < d.EntMojiN; ++i) level += d.EntMoji[i].degKakudo == 0;
  EXPECT_NEAR(level / double(d.EntMojiN), 0.75, 0.03);
  // 20 cells of 420 × 297 mm in 4 columns and 5 rows.
  double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
  for (int32_t i = 0; i < d.EntLineN; ++i) {
    const auto& l = d.EntLine[i];
    x0 = std::min({x0, l.start_x, l.end_x}), x1 = std::max({x1, l.start_x, l.end_x});
    y0 = std::min({y0, l.start_y, l.end_y}), y1 = std::max({y1, l.start_y, l.end_y});
  }
  EXPECT_LE(x1 - x0, 4 * 420 + 1);
  EXPECT_GT(x1 - x0, 3.5 * 420);
  EXPECT_LE(y1 - y0, 5 * 297 + 1);
  EXPECT_GT(y1 - y0, 4.5 * 297);
}

TEST(BenchDrawing, SxfFiguresOfEveryKind) {
  TJwwData d = tools::MakeSxfBenchDrawing(4, 30, 200, 3);
  ASSERT_EQ(d.EntBlockDefN, 4);
  for (int32_t i = 0; i < d.EntBlockDefN; ++i) {
    const auto& b = d.EntBlockDef[i];
    EXPECT_TRUE(IsSxfFigure(b.strName, '1') || IsSxfFigure(b.strName, '2'));
    EXPECT_EQ(b.N, 30);
    EXPECT_GT(b.mLineN, 0);
    EXPECT_GT(b.mEnkoN, 0);
    EXPECT_GT(b.mTenN, 0);
    EXPECT_GT(b.mMojiN, 0);
    EXPECT_GT(b.mSolidN, 0);
    EXPECT_GT(b.mSunpoN, 0);
  }
  EXPECT_EQ(d.EntBlockN, 200);
  int negative = 0;
  for (int32_t i = 0; i < d.EntBlockN; ++i) {
    negative += d.EntBlock[i].dBairitsuX < 0 || d.EntBlock[i].dBairitsuY < 0;
  }
  EXPECT_GT(negative, 20);

  const jww::ExplodeReport report = jww::DataTransJWW(d);
  EXPECT_EQ(report.figures, 4);
  EXPECT_EQ(report.placements, 200);
  EXPECT_EQ(CountVisible(d, jww::kBlock), 0);
}
