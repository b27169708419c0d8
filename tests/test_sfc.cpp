// SPDX-License-Identifier: GPL-3.0-or-later
// The SFC reader: malformed files fail with the record and the reason, and
// the real SFC drawing of BRINDLE_CORPUS_SXF becomes the JWW its records and
// placements describe (expected values computed here from the file's text).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/convert.h"
#include "jww/document.h"
#include "jww/sxf_plan.h"
#include "support/brindle_run.h"
#include "support/corpus.h"
#include "support/temp_dir.h"
#include "sxf/sfc_drawing.h"
#include "tools/sample_sfc.h"

namespace {

std::string Envelope(const std::string& data) {
  return "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('SCADEC level2 feature_mode'),'2;1');\n"
         "FILE_NAME('t.sfc','2026-1-1T00:00:00',(''),(''),'test','test','');\n"
         "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\nENDSEC;\nDATA;\n" +
         data + "ENDSEC;\nEND-ISO-10303-21;\n";
}

std::string Rec(int n, const std::string& body) {
  return "/*SXF\n#" + std::to_string(n) + " = " + body + "\nSXF*/\n";
}

// A sheet, one layer, a line on the sheet and a sub-drawing at 1:2.
std::string Small() {
  return Rec(10, "line_feature('1','8','1','1','5','5','50','60')") +
         Rec(20, "sfig_org_feature(\\'fig\\','1')") +
         Rec(30, "line_feature('1','2','1','3','10','20','30','40')") +
         Rec(40, "sfig_locate_feature('1',\\'fig\\','100','50','0','0.5','0.5')") +
         Rec(50, "drawing_sheet_feature(\\'s\\','3','1','0','0')") +
         Rec(60, "layer_feature(\\'L1\\','1')");
}

bool Read(const std::string& text, jww::TJwwData& doc, sxf::SfcReport& report) {
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  return sxf::ReadSfc(std::span<const uint8_t>(p, text.size()), doc, report);
}

struct Malformed {
  const char* what;
  std::string text;
  int64_t record;
  const char* reason;
};

TEST(SfcReader, MalformedFilesFailWithTheRecordAndTheReason) {
  const std::string cut = Envelope(Rec(10, "line_feature('1','2','1','1','0','0','1','1')"));
  const std::string sheet = Rec(90, "drawing_sheet_feature(\\'s\\','3','1','0','0')");
  const std::vector<Malformed> cases = {
      {"no envelope", "hello", 0, "not an SFC file"},
      {"no end", Envelope(Small()).substr(0, Envelope(Small()).size() - 18), 0,
       "without END-ISO-10303-21"},
      {"cut record", cut.substr(0, cut.find("'0','1','1')")), 10, "cut short"},
      {"unquoted", Envelope(Rec(10, "line_feature(1)")), 10, "quoted argument expected"},
      {"count", Envelope(Rec(10, "line_feature('1','2')") + sheet), 10, "needs 8 arguments"},
      {"number", Envelope(Rec(10, "line_feature('1','2','1','1','x','0','1','1')") + sheet), 10,
       "argument 5 is not a number"},
      {"twice", Envelope(Rec(10, "width_feature('0.13')") + Rec(10, "width_feature('0.25')")), 10,
       "used twice"},
      {"missing figure",
       Envelope(Rec(10, "sfig_locate_feature('1',\\'nothing\\','0','0','0','1','1')") + sheet), 10,
       "not defined"},
      {"ring",
       Envelope(Rec(10, "sfig_locate_feature('0',\\'b\\','0','0','0','1','1')") +
                Rec(20, "sfig_org_feature(\\'a\\','3')") +
                Rec(30, "sfig_locate_feature('0',\\'a\\','0','0','0','1','1')") +
                Rec(40, "sfig_org_feature(\\'b\\','3')") + sheet),
       30, "ring"},
      {"shift-jis", Envelope(Rec(10, "layer_feature(\\'\x81\x20\\','1')") + sheet), 10,
       "not valid Shift-JIS"},
      {"utf-8", "\xEF\xBB\xBF" + Envelope(Rec(10, "layer_feature(\\'\xE5\xB1\\','1')") + sheet),
       10, "not valid UTF-8"},
      {"figure twice",
       Envelope(Rec(10, "sfig_org_feature(\\'a\\','1')") +
                Rec(20, "sfig_org_feature(\\'a\\','3')") + sheet),
       20, "defined twice"},
      {"polyline points",
       Envelope(Rec(10, "polyline_feature('1','2','1','1','3','(0,1)','(0,1)')") + sheet), 10,
       "stated number of points"},
      {"hatch without curve",
       Envelope(Rec(10, "fill_area_style_colour_feature('1','2','7','0','()')") + sheet), 10,
       "composite curve 7"},
  };
  for (const Malformed& c : cases) {
    jww::TJwwData doc;
    sxf::SfcReport report;
    EXPECT_FALSE(Read(c.text, doc, report)) << c.what;
    EXPECT_EQ(report.error.record, c.record) << c.what << ": " << report.error.Text();
    EXPECT_NE(report.error.Text().find(c.reason), std::string::npos)
        << c.what << ": " << report.error.Text();
  }
}

TEST(SfcReader, EveryCutOfAFileFailsOrReadsWhatIsThere) {
  const std::string whole = Envelope(Small());
  const size_t end = whole.rfind("END-ISO-10303-21;") + 17;
  for (size_t n = 0; n < whole.size(); ++n) {
    jww::TJwwData doc;
    sxf::SfcReport report;
    EXPECT_EQ(Read(whole.substr(0, n), doc, report), n >= end) << n;
    if (n < end) {
      EXPECT_FALSE(report.error.reason.empty()) << n;
    }
  }
}

TEST(SfcReader, SheetAndFigureLandWhereTheRecordsPutThem) {
  jww::TJwwData doc;
  sxf::SfcReport report;
  ASSERT_TRUE(Read(Envelope(Small()), doc, report)) << report.error.Text();
  // A3 landscape: the sheet's lower-left corner is (-210, -148.5).
  ASSERT_EQ(doc.EntLineN, 1);
  EXPECT_DOUBLE_EQ(doc.EntLine[0].start_x, 10 - 210.0);
  EXPECT_DOUBLE_EQ(doc.EntLine[0].end_y, 40 - 148.5);
  EXPECT_EQ(doc.EntLine[0].att.nPenColor, 102);  // SXF red
  EXPECT_EQ(doc.EntLine[0].att.nPenWidth, 25);   // width code 3: 0.25 mm
  EXPECT_EQ(doc.EntLay[0].aStrLayName, u"L1");
  ASSERT_EQ(doc.EntBlockDefN, 1);
  EXPECT_EQ(doc.EntBlockDef[0].strName, u"fig@@SfigorgFlag@@1");
  EXPECT_EQ(doc.EntLgrp[1].adScale, 2.0);
  ASSERT_EQ(doc.EntBlockN, 1);
  EXPECT_DOUBLE_EQ(doc.EntBlock[0].DPKijunTen_x, 100 - 210.0);
  EXPECT_DOUBLE_EQ(doc.EntBlock[0].dBairitsuX, 0.5);
}

TEST(SfcReader, QuotesEscapesAndEncodings) {
  // "ソ" is 0x83 0x5C in Shift-JIS: its second byte is a backslash.
  const std::string sjis = Envelope(Rec(10, "layer_feature(\\'\x83\x5C\\'A\\','1')") +
                                    Rec(20, "drawing_sheet_feature(\\'s\\','4','1','0','0')") +
                                    Rec(30, "frobnicate_feature('1')"));
  jww::TJwwData doc;
  sxf::SfcReport report;
  ASSERT_TRUE(Read(sjis, doc, report)) << report.error.Text();
  EXPECT_EQ(doc.EntLay[0].aStrLayName, u"ソ'A");
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_NE(report.warnings[0].find("#30"), std::string::npos);

  const std::string utf8 = "\xEF\xBB\xBF" + Envelope(Rec(10, "layer_feature(\\'層①\\','0')") +
                                                      Rec(20, "drawing_sheet_feature(\\'s\\','4','1','0','0')"));
  ASSERT_TRUE(Read(utf8, doc, report)) << report.error.Text();
  EXPECT_EQ(doc.EntLay[0].aStrLayName, u"層①");
  EXPECT_TRUE(doc.MojiEncode);  // written as UTF-16
  EXPECT_EQ(doc.EntLay[0].aanLay, 0);  // hidden
}

// Seven levels of ten placements each: a million copies, refused by the bound.
TEST(SfcReader, DeepNestingIsBoundedByTheConversion) {
  std::string data;
  int n = 10;
  for (int level = 0; level < 7; ++level) {
    if (level == 0) {
      data += Rec(n++, "line_feature('1','1','1','1','0','0','1','1')");
    } else {
      for (int k = 0; k < 10; ++k)
        data += Rec(n++, "sfig_locate_feature('1',\\'f" + std::to_string(level - 1) + "\\','" +
                             std::to_string(k) + "','0','0','1','1')");
    }
    data += Rec(n++, "sfig_org_feature(\\'f" + std::to_string(level) + "\\','" +
                         "1')");
  }
  data += Rec(n++, "sfig_locate_feature('1',\\'f6\\','0','0','0','1','1')");
  data += Rec(n++, "drawing_sheet_feature(\\'s\\','4','1','0','0')");
  testjww::TempDir dir;
  const std::string text = Envelope(data);
  const auto src = dir.File("deep.sfc", std::vector<uint8_t>(text.begin(), text.end()));
  app::ConvertOptions options;
  options.maxCopies = 1000;
  const app::ConvertResult r = app::ConvertFile(src.string(), dir / "deep.jww", options);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("copies"), std::string::npos) << r.error;
  EXPECT_FALSE(std::filesystem::exists(dir / "deep.jww"));
  // The reader counts the placements the figures make (1 + 10 + … + 10^6).
  jww::TJwwData doc;
  sxf::SfcReport report;
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  EXPECT_FALSE(sxf::ReadSfc(std::span<const uint8_t>(p, text.size()), doc, report, 1000));
  EXPECT_EQ(report.placements, 1111111);
}

bool HasLine(const jww::TJwwData& doc, int group, double x1, double y1, double x2, double y2) {
  for (int32_t i = 0; i < doc.EntLineN; ++i) {
    const jww::TEntJwwLine& l = doc.EntLine[i];
    if (l.att.nGLayer == group && std::fabs(l.start_x - x1) < 1e-9 && std::fabs(l.start_y - y1) < 1e-9 &&
        std::fabs(l.end_x - x2) < 1e-9 && std::fabs(l.end_y - y2) < 1e-9)
      return true;
  }
  return false;
}

// Every feature kind of the sample, converted: what lands where (A3 sheet,
// centre at (210, 148.5) from its lower-left corner).
TEST(SfcReader, TheSampleOfEveryKindConverts) {
  testjww::TempDir dir;
  const std::string text = tools::MakeSampleSfc();
  const auto src = dir.File("sample.sfc", std::vector<uint8_t>(text.begin(), text.end()));
  const app::ConvertResult r = app::ConvertFile(src.string(), dir / "sample.jww");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
  jww::TJwwData doc;
  ASSERT_TRUE(doc.FileIn(r.output));
  EXPECT_EQ(doc.EntLgrp[1].aStrGLayName, u"part-1");
  EXPECT_EQ(doc.EntLgrp[1].adScale, 2.0);
  EXPECT_EQ(doc.EntLgrp[2].aStrGLayName, u"part-2");
  // part-1 at (200, 100), ratio 0.5: its line (0,0)-(100,0).
  EXPECT_TRUE(HasLine(doc, 1, 200 - 210.0, 100 - 148.5, 250 - 210.0, 100 - 148.5));
  // part-2 in surveying axes at (100, 100): 10 along x is 10 up the sheet.
  EXPECT_TRUE(HasLine(doc, 2, 100 - 210.0, 100 - 148.5, 100 - 210.0, 110 - 148.5));
  EXPECT_EQ(doc.EntSunpoN, 3);  // linear, radius and diameter dimensions
  EXPECT_EQ(doc.EntSolidN, 2);  // the filled square in two triangles
  EXPECT_EQ(doc.EntEnkoN, 7);
  EXPECT_EQ(doc.EntMojiN, 4);  // the text, the angle's, the label's and the balloon's
  bool found = false;
  for (int32_t i = 0; i < doc.EntMojiN; ++i) found = found || doc.EntMoji[i].str == u"文字ソ";
  EXPECT_TRUE(found);
  EXPECT_EQ(doc.EntLay[2].aStrLayName, u"hidden");
  EXPECT_EQ(doc.EntLay[2].aanLay, 0);
  EXPECT_EQ(doc.EntColS[17].aPenColor, 10 | 20 << 8 | 30 << 16);
  EXPECT_EQ(doc.EntLtpS[16].astrUDLTypeName, u"mine");
  EXPECT_NE(doc.Enthd.strMemo.find(u"工事"), std::u16string::npos);
  // The symbol inside part-1 stays a block, placed where part-1 puts it.
  ASSERT_EQ(doc.EntBlockN, 1);
  EXPECT_NEAR(doc.EntBlock[0].DPKijunTen_x, 200 + 25 - 210.0, 1e-9);
}

// Seventeen sub-drawings: fifteen layer groups, two blocks left, a warning;
// seventeen layers used in one group: a warning too.
TEST(SfcReader, BeyondFifteenSubDrawingsAndSixteenLayers) {
  std::string data;
  int n = 10;
  for (int k = 0; k < 17; ++k) {
    data += Rec(n++, "line_feature('" + std::to_string(k + 1) + "','1','1','1','0','0','1','1')");
    data += Rec(n++, "sfig_org_feature(\\'f" + std::to_string(k) + "\\','1')");
  }
  for (int k = 0; k < 17; ++k)
    data += Rec(n++, "sfig_locate_feature('1',\\'f" + std::to_string(k) + "\\','0','0','0','1','1')");
  for (int k = 0; k < 17; ++k)
    data += Rec(n++, "line_feature('" + std::to_string(k + 1) + "','1','1','1','0','0','1','1')");
  data += Rec(n++, "drawing_sheet_feature(\\'s\\','4','1','0','0')");
  for (int k = 0; k < 17; ++k) data += Rec(n++, "layer_feature(\\'L" + std::to_string(k) + "\\','1')");
  testjww::TempDir dir;
  const std::string text = Envelope(data);
  const auto src = dir.File("many.sfc", std::vector<uint8_t>(text.begin(), text.end()));
  const app::ConvertResult r = app::ConvertFile(src.string(), dir / "many.jww");
  ASSERT_TRUE(r.ok) << r.error;
  std::string warnings;
  for (const std::string& w : r.warnings) warnings += w + "\n";
  EXPECT_NE(warnings.find("17 sub-drawings"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("more than 16 SXF layers"), std::string::npos) << warnings;
  jww::TJwwData doc;
  ASSERT_TRUE(doc.FileIn(r.output));
  EXPECT_EQ(doc.EntLgrp[15].aStrGLayName, u"f14");
  int blocks = 0;
  for (int32_t i = 0; i < doc.EntBlockDefN; ++i)
    blocks += doc.EntBlockDef[i].strName.ends_with(u"@@SfigorgFlag@@1") && doc.EntBlockDef[i].N > 0;
  EXPECT_EQ(blocks, 2);
  EXPECT_EQ(doc.EntBlockN, 2);
}

// Hatching far from its start point or with a spacing of almost nothing
// ends, leaving the hatch out with a warning.
TEST(SfcReader, HatchingIsBounded) {
  for (const std::string pattern : {"(2,1,3,1e18,1e18,1,45)", "(2,1,3,0,0,1e-9,45)"}) {
    const std::string text =
        Envelope(Rec(10, "polyline_feature('0','0','0','0','5','(0,40,40,0,0)','(0,0,40,40,0)')") +
                 Rec(20, "composite_curve_org_feature('2','1','3','0')") +
                 Rec(30, "fill_area_style_hatching_feature('1','1','" + pattern + "','1','0','()')") +
                 Rec(40, "drawing_sheet_feature(\\'s\\','4','1','0','0')") +
                 Rec(50, "layer_feature(\\'L\\','1')"));
    jww::TJwwData doc;
    sxf::SfcReport report;
    ASSERT_TRUE(Read(text, doc, report)) << pattern << ": " << report.error.Text();
    if (pattern.find("1e-9") == std::string::npos) continue;  // far away: it ends, that is all
    EXPECT_EQ(doc.EntLineN, 0);
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("left out"), std::string::npos) << report.warnings[0];
  }
}

// brindle FILE.sfc --version N: the version written, the strings in code
// page 932 below 700 unless --utf16 (a UTF-8 file is read into UTF-16), an
// unknown version rounded down and said, one out of range refused.
TEST(SfcReader, ConversionWritesTheVersionAsked) {
  struct Case {
    std::vector<std::string> options;
    int rc, version;
    bool utf16;
    const char* said;
  };
  const std::vector<Case> cases = {
      {{}, 0, 700, true, ""},
      {{"--version", "600"}, 0, 600, false, "ñ"},
      {{"--version", "600", "--utf16"}, 0, 600, true, ""},
      {{"--version", "450"}, 0, 420, false, "450"},
      {{"--version", "800"}, 2, 0, false, "800"},
  };
  testjww::TempDir dir;
  const std::string text =
      "\xEF\xBB\xBF" + Envelope(Small() + Rec(70, "layer_feature(\\'añ\\','1')"));
  const auto src = dir.File("v.sfc", std::vector<uint8_t>(text.begin(), text.end()));
  int n = 0;
  for (const Case& c : cases) {
    const std::filesystem::path out = dir / ("out" + std::to_string(n++));
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"-o", out.string(), src.string()});
    const auto r = testjww::RunBrindle(args, dir.path());
    EXPECT_EQ(r.rc, c.rc) << c.said << r.err;
    EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
    if (c.rc != 0) {
      EXPECT_FALSE(std::filesystem::exists(out / "v.jww"));
      continue;
    }
    jww::TJwwData doc;
    ASSERT_TRUE(doc.FileIn((out / "v.jww").string())) << c.version;
    EXPECT_EQ(doc.Enthd.jwVer, c.version);
    EXPECT_EQ(doc.MojiEncode, c.utf16) << c.version;
  }
}

// ---- the real drawing ----

struct FileFacts {
  std::map<std::string, int> counts;
  struct Line {
    int figure;  // index of the sfig_org that closes it, -1 the sheet
    double x1, y1, x2, y2;
  };
  std::vector<Line> lines;
  std::vector<std::string> figures;  // names in file order
  struct Locate {
    std::string name;
    double x, y, angle, rx, ry;
  };
  std::vector<Locate> locates;
  double width = 0, height = 0;
};

// What the file says, read with regular expressions over its bytes.
FileFacts Facts(const std::string& text) {
  FileFacts f;
  const std::regex record(R"(#(\d+)\s*=\s*([a-z_0-9]+)\(([^\r\n]*)\))");
  const std::regex num(R"('(-?[0-9.]+)')");
  std::vector<std::pair<std::string, std::string>> records;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), record); it != std::sregex_iterator();
       ++it) {
    records.emplace_back((*it)[2], (*it)[3]);
    ++f.counts[(*it)[2]];
  }
  std::vector<size_t> orgs;
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i].first == "sfig_org_feature") orgs.push_back(i);
  for (size_t i = 0; i < records.size(); ++i) {
    const auto& [name, args] = records[i];
    std::vector<double> v;
    for (auto it = std::sregex_iterator(args.begin(), args.end(), num); it != std::sregex_iterator();
         ++it)
      v.push_back(std::stod((*it)[1]));
    const std::string quoted = args.substr(args.find("\\'") + 2,
                                           args.find("\\'", args.find("\\'") + 2) - args.find("\\'") - 2);
    if (name == "line_feature") {
      const int fig =
          static_cast<int>(std::upper_bound(orgs.begin(), orgs.end(), i) - orgs.begin());
      f.lines.push_back({fig < static_cast<int>(orgs.size()) ? fig : -1, v[4], v[5], v[6], v[7]});
    } else if (name == "sfig_org_feature") {
      f.figures.push_back(quoted);
    } else if (name == "sfig_locate_feature") {
      f.locates.push_back({quoted, v[1], v[2], v[3], v[4], v[5]});
    } else if (name == "drawing_sheet_feature") {
      EXPECT_EQ(v[0], 1) << "an A1 sheet";
      EXPECT_EQ(v[1], 1) << "landscape";
      f.width = 841;
      f.height = 594;
    }
  }
  return f;
}

class SfcCorpus : public ::testing::Test {
 protected:
  void SetUp() override {
    auto dir = SxfCorpusDir();
    if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS_SXF is not set";
    src_ = *dir / "D0LS004Z.SFC";
    ASSERT_TRUE(std::filesystem::exists(src_)) << src_;
    text_ = testjww::ReadWholeFile(src_);
  }
  std::filesystem::path src_;
  std::string text_;
};

TEST_F(SfcCorpus, FeatureCountsMatchTheFile) {
  const FileFacts facts = Facts(text_);
  jww::TJwwData doc;
  sxf::SfcReport report;
  ASSERT_TRUE(Read(text_, doc, report)) << report.error.Text();
  EXPECT_EQ(report.features, facts.counts);
  EXPECT_EQ(facts.counts.at("line_feature"), 581);
  EXPECT_EQ(facts.counts.at("linear_dim_feature"), 126);
}

TEST_F(SfcCorpus, ConvertsIntoGroupsWithLineEndsWhereThePlacementsPutThem) {
  const FileFacts facts = Facts(text_);
  testjww::TempDir dir;
  const app::ConvertResult r = app::ConvertFile(src_.string(), dir / "D0LS004Z.jww");
  ASSERT_TRUE(r.ok) << r.error;
  jww::TJwwData doc;
  ASSERT_TRUE(doc.FileIn(r.output));
  EXPECT_EQ(doc.Enthd.jwVer, 700);
  EXPECT_EQ(doc.EntSunpoN, facts.counts.at("linear_dim_feature"));
  EXPECT_EQ(doc.EntEnkoN, facts.counts.at("arc_feature") + facts.counts.at("circle_feature"));

  // Groups in placement order: the first sub-drawing placed is group 1.
  std::map<std::string, int> groupOf;
  std::map<std::string, FileFacts::Locate> placed;
  for (const auto& l : facts.locates) {
    if (l.name.starts_with("$$")) continue;
    if (!groupOf.count(l.name)) groupOf[l.name] = static_cast<int>(groupOf.size()) + 1;
    placed.emplace(l.name, l);
  }
  ASSERT_EQ(groupOf.size(), 2u);
  std::multiset<double> scales;
  for (const auto& [name, g] : groupOf) {
    EXPECT_NEAR(doc.EntLgrp[g].adScale, 1.0 / placed[name].rx, 1e-9);
    scales.insert(std::round(doc.EntLgrp[g].adScale));
  }
  EXPECT_EQ(scales, (std::multiset<double>{10, 20}));

  // Every line of the file, at its end points on the sheet, in its group.
  std::map<int, std::vector<jww::TEntJwwLine>> byGroup;
  for (int32_t i = 0; i < doc.EntLineN; ++i) byGroup[doc.EntLine[i].att.nGLayer].push_back(doc.EntLine[i]);
  int found = 0;
  for (const auto& l : facts.lines) {
    double x1 = l.x1, y1 = l.y1, x2 = l.x2, y2 = l.y2;
    int group = 0;
    if (l.figure >= 0) {
      const std::string& name = facts.figures[l.figure];
      ASSERT_TRUE(placed.count(name)) << name;
      const auto& p = placed[name];
      group = groupOf[name];
      const double c = std::cos(p.angle * M_PI / 180), s = std::sin(p.angle * M_PI / 180);
      auto place = [&](double& x, double& y) {
        const double u = x * p.rx, v = y * p.ry;
        x = p.x + u * c - v * s;
        y = p.y + u * s + v * c;
      };
      place(x1, y1);
      place(x2, y2);
    }
    x1 -= facts.width / 2, x2 -= facts.width / 2, y1 -= facts.height / 2, y2 -= facts.height / 2;
    bool hit = false;
    for (const jww::TEntJwwLine& m : byGroup[group]) {
      if (std::fabs(m.start_x - x1) < 1e-6 && std::fabs(m.start_y - y1) < 1e-6 &&
          std::fabs(m.end_x - x2) < 1e-6 && std::fabs(m.end_y - y2) < 1e-6) {
        hit = true;
        break;
      }
    }
    found += hit;
  }
  EXPECT_EQ(found, static_cast<int>(facts.lines.size()));
}

TEST_F(SfcCorpus, CommandsAcceptTheFileAndItsConversion) {
  testjww::TempDir dir;
  const std::string src = dir / "D0LS004Z.SFC";
  std::filesystem::copy_file(src_, src);
  auto run = [&](const std::vector<std::string>& args) { return testjww::RunBrindle(args, dir.path()); };
  auto r = run({"--beside", src});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("変換完了"), std::string::npos) << r.out;
  ASSERT_TRUE(std::filesystem::exists(dir / "D0LS004Z.jww"));
  // Never overwritten: a second run takes the first free branch name.
  r = run({"--beside", src});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "D0LS004Z~1.jww"));
  for (const std::string& file : {src, dir / "D0LS004Z.jww"}) {
    r = run({"info", file});
    EXPECT_EQ(r.rc, 0) << file << r.err;
    r = run({"draw", "-o", file + ".png", file});
    EXPECT_EQ(r.rc, 0) << file << r.err;
    EXPECT_TRUE(std::filesystem::exists(file + ".png"));
  }
  r = run({"info", src});
  EXPECT_NE(r.out.find("部分図-1@@SfigorgFlag@@1"), std::string::npos) << r.out;

  // A cut copy fails with its record and writes nothing.
  const std::string cut = dir / "cut.sfc";
  std::vector<uint8_t> bytes(text_.begin(), text_.begin() + 100000);
  dir.File("cut.sfc", bytes);
  r = run({"--beside", cut});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.out.find("変換失敗"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("record #"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "cut.jww"));
}

}  // namespace
