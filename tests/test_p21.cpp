// SPDX-License-Identifier: GPL-3.0-or-later
// The P21 (AP202) reader: malformed files fail with the instance and the
// reason, a small drawing lands where its instances put it, and the real P21
// drawing of BRINDLE_CORPUS_SXF gives the JWW its SFC twin gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/convert.h"
#include "jww/diff.h"
#include "jww/document.h"
#include "support/brindle_run.h"
#include "support/corpus.h"
#include "support/temp_dir.h"
#include "sxf/p21_drawing.h"
#include "tools/sample_p21.h"

namespace {

using tools::P21Envelope, tools::P21Styles, tools::P21Line, tools::P21Text, tools::P21Figure,
    tools::P21Sheet, tools::MakeSampleP21;

std::string Swap(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

bool Read(const std::string& text, jww::TJwwData& doc, sxf::SfcReport& report) {
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  return sxf::ReadP21(std::span<const uint8_t>(p, text.size()), doc, report);
}

TEST(P21Reader, SmallDrawingLandsWhereItsInstancesPutIt) {
  jww::TJwwData doc;
  sxf::SfcReport report;
  ASSERT_TRUE(Read(MakeSampleP21(), doc, report)) << report.error.Text();
  EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
  // The text: its SFC point is half its height below the written one,
  // then moved to the centre of the sheet.
  ASSERT_EQ(doc.EntMojiN, 1);
  const jww::TEntJwwMoji& t = doc.EntMoji[0];
  EXPECT_EQ(t.str, u"It's \u56F3 \u00E9\u00E9");
  EXPECT_EQ(t.strFontName, u"ＭＳ ゴシック");
  EXPECT_NEAR(t.start_x, 100 - 210, 1e-9);
  EXPECT_NEAR(t.start_y, 50 - 148.5, 1e-9);
  EXPECT_EQ(t.att.nPenColor, 102);  // red, the second SXF colour
  // The line in the sub-drawing's block, placed at its point and ratio.
  ASSERT_EQ(doc.EntBlockN, 1);
  EXPECT_NEAR(doc.EntBlock[0].DPKijunTen_x, 200 - 210, 1e-9);
  EXPECT_NEAR(doc.EntBlock[0].DPKijunTen_y, 100 - 148.5, 1e-9);
  EXPECT_NEAR(doc.EntBlock[0].dBairitsuX, 0.5, 1e-12);
  EXPECT_EQ(report.features.at("line_feature"), 1);
  EXPECT_EQ(doc.Enthd.nZumen, 3);
}

TEST(P21Reader, MalformedFilesFailWithTheInstanceAndTheReason) {
  struct Case {
    const char* what;
    std::string text;
    int64_t record;
    const char* reason;
  };
  const std::string ring =
      "#70=COMPOSITE_CURVE(' ',(#71),.F.);\n#71=COMPOSITE_CURVE_SEGMENT(.CONTINUOUS.,.T.,#70);\n"
      "#72=(ANNOTATION_CURVE_OCCURRENCE()STYLED_ITEM((#6),#70));\n";
  const std::vector<Case> cases{
      {"no envelope", "HEADER;", 0, "no ISO-10303-21"},
      {"cut in an instance", MakeSampleP21().substr(0, MakeSampleP21().find("#15=") + 20), 15,
       "cut short"},
      {"a string not closed", P21Envelope("#1=DRAUGHTING_PRE_DEFINED_COLOUR('red);\n"), 1,
       "not closed"},
      {"a bad escape", P21Envelope("#1=DRAUGHTING_PRE_DEFINED_COLOUR('\\X2\\12G4\\X0\\');\n"), 1,
       "escape"},
      {"a number used twice",
       P21Envelope("#1=DIRECTION(' ',(1.,0.));\n#1=DIRECTION(' ',(1.,0.));\n"), 1, "used twice"},
      {"a reference to nothing", P21Envelope(P21Styles() + "#7=CURVE_STYLE(' ',#2,#99,#1);\n"), 7,
       "#99"},
      {"a point that is none",
       Swap(P21Envelope(P21Styles() + P21Line() + P21Figure("#16") + P21Sheet("#50", "#16")),
            "(#10),(#11)", "(#10),(#12)"),
       16, "not a CARTESIAN_POINT"},
      {"composite curves in a ring", P21Envelope(P21Styles() + ring + P21Sheet("#72", "#72")), 72,
       "ring"},
      {"a figure placing itself",
       P21Envelope(P21Styles() + P21Line() + P21Figure("#16,#50") + P21Sheet("#50", "#16")), 50,
       "place"},
      {"no sheet", P21Envelope(P21Styles() + P21Line()), 0, "no drawing sheet"},
  };
  for (const Case& c : cases) {
    jww::TJwwData doc;
    sxf::SfcReport report;
    EXPECT_FALSE(Read(c.text, doc, report)) << c.what;
    if (c.record) {
      EXPECT_EQ(report.error.record, c.record) << c.what << ": " << report.error.Text();
    }
    EXPECT_NE(report.error.reason.find(c.reason), std::string::npos)
        << c.what << ": " << report.error.Text();
  }
  // An entity that draws nothing known is left out with a warning.
  jww::TJwwData doc;
  sxf::SfcReport report;
  ASSERT_TRUE(Read(P21Envelope(P21Styles() + P21Line() + P21Text() + P21Figure("#16,#41") +
                               P21Sheet("#30,#50,#6", "#16,#30")),
                   doc, report))
      << report.error.Text();
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_NE(report.warnings[0].find("record #6"), std::string::npos) << report.warnings[0];
}

TEST(P21Reader, EveryCutOfAFileFails) {
  const std::string full = MakeSampleP21();
  for (size_t n = 0; n + 1 < full.size(); n += 7) {
    jww::TJwwData doc;
    sxf::SfcReport report;
    EXPECT_FALSE(Read(full.substr(0, n), doc, report)) << n;
    EXPECT_FALSE(report.error.reason.empty()) << n;
  }
}

class P21Corpus : public ::testing::Test {
 protected:
  void SetUp() override {
    auto dir = SxfCorpusDir();
    if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS_SXF is not set";
    p21_ = *dir / "D0LS004Z.P21";
    sfc_ = *dir / "D0LS004Z.SFC";
    ASSERT_TRUE(std::filesystem::exists(p21_)) << p21_;
  }
  std::filesystem::path p21_, sfc_;
};

// The two forms of one drawing convert into the same JWW: the comparison
// finds nothing within a micrometre (the P21 file prints six decimals, as
// the SFC file does).
TEST_F(P21Corpus, GivesTheJwwOfItsSfcTwin) {
  testjww::TempDir dir;
  const app::ConvertResult a = app::ConvertFile(sfc_.string(), dir / "sfc.jww");
  const app::ConvertResult b = app::ConvertFile(p21_.string(), dir / "p21.jww");
  ASSERT_TRUE(a.ok) << a.error;
  ASSERT_TRUE(b.ok) << b.error;
  jww::TJwwData fromSfc, fromP21;
  ASSERT_TRUE(fromSfc.FileIn(a.output));
  ASSERT_TRUE(fromP21.FileIn(b.output));
  const jww::DrawingDiff d = jww::DiffDrawings(fromSfc, fromP21, {.toleranceMm = 1e-6});
  EXPECT_TRUE(d.Same()) << d.counts.removed << " removed, " << d.counts.added << " added, "
                        << d.counts.changed << " changed, " << d.header.size() << " header fields";
  EXPECT_GT(d.counts.same, 2800);
}

TEST_F(P21Corpus, CommandsAcceptTheFileAndACutCopyFails) {
  testjww::TempDir dir;
  const std::string src = dir / "D0LS004Z.P21";
  std::filesystem::copy_file(p21_, src);
  auto run = [&](const std::vector<std::string>& args) {
    return testjww::RunBrindle(args, dir.path());
  };
  auto r = run({"--beside", src});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "D0LS004Z.jww"));
  r = run({"info", src});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("部分図-1@@SfigorgFlag@@1"), std::string::npos) << r.out;
  r = run({"draw", "-o", src + ".png", src});
  EXPECT_EQ(r.rc, 0) << r.err;

  const std::string text = testjww::ReadWholeFile(p21_);
  dir.File("cut.p21", std::vector<uint8_t>(text.begin(), text.begin() + 100000));
  r = run({"--beside", dir / "cut.p21"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.out.find("変換失敗"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("record #"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "cut.jww"));
}

}  // namespace
