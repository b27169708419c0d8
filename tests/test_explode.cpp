// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "jww/document.h"
#include "jww/sxf_explode.h"
#include "support/block_drawings.h"
#include "support/corpus.h"

using namespace jww;
using namespace testjww;

namespace {

constexpr double kPiD = 3.14159265358979323846;

int CountDrawn(const TJwwData& doc, int32_t kind) {
  int n = 0;
  for (int32_t i = 0; i < doc.Enthd.n1; ++i) n += doc.EntNo[i].EntType == kind;
  return n;
}

}  // namespace

TEST(Explode, LayerResetMakesEverythingEditableAndFillsBlankNames) {
  TJwwData doc = NewDrawing();
  for (auto& g : doc.EntLgrp) {
    g.anGLay = 0;
    g.anWriteLay = 5;
    g.anGLayProtect = 1;
    g.adScale = 50;
  }
  for (auto& l : doc.EntLay) l.aanLayProtect = 1;
  doc.EntLay[3].aStrLayName = u"walls";
  doc.EntLay[16 + 3].aStrLayName = u" \u3000\t";
  doc.EntLay[32 + 3].aStrLayName = u"own";
  DataTransJWW1(doc);
  EXPECT_EQ(doc.EntLgrp[0].anGLay, 3);
  EXPECT_EQ(doc.EntLgrp[7].anGLay, 2);
  EXPECT_EQ(doc.EntLgrp[7].anWriteLay, 0);
  EXPECT_EQ(doc.EntLgrp[7].anGLayProtect, 0);
  EXPECT_EQ(doc.EntLgrp[7].adScale, 50);
  EXPECT_EQ(doc.EntLay[16].aanLay, 3);
  EXPECT_EQ(doc.EntLay[17].aanLay, 2);
  EXPECT_EQ(doc.EntLay[17].aanLayProtect, 0);
  EXPECT_EQ(doc.EntLay[16 + 3].aStrLayName, u"walls");
  EXPECT_EQ(doc.EntLay[32 + 3].aStrLayName, u"own");
  EXPECT_EQ(doc.EntLay[48 + 3].aStrLayName, u"walls");
}

TEST(Explode, FiguresGoToLayerGroupsInDefinitionOrder) {
  TJwwData doc = NewDrawing();
  int a = AddDefinition(doc, 10, u"A@@SFIGORGFLAG@@1");
  AddMemberLine(doc, a, 0, 0, 1, 0, 4);
  int user = AddDefinition(doc, 11, u"plain@@SFIG7");  // no ORGFLAG marker
  AddMemberLine(doc, user, 0, 0, 1, 1);
  int empty = AddDefinition(doc, 12, u"E@@SFIGORGFLAG@@1");  // no members: skipped
  (void)empty;
  int b = AddDefinition(doc, 13, u"FIG1@@SfigOrgFlag@@2");
  AddMemberLine(doc, b, 0, 0, 0, 1);
  AddMemberLine(doc, b, 0, 0, 2, 2);

  TEntJwwBlock pa = Insertion(10, 5, 5, 100, 100);
  pa.att.nLayer = 6;
  AddTopLevel(doc, pa);
  AddTopLevel(doc, Insertion(10, 7, 7, 0, 0));  // scale 0 counts as 1
  AddTopLevel(doc, Insertion(11));
  TEntJwwBlock pb = Insertion(13, 0, 0, -2, 2);
  pb.att.nPenStyle = 0x40 | 1;  // copies keep their own layers
  pb.att.nLayer = 9;
  AddTopLevel(doc, pb);
  doc.MakeBlockTree();

  ExplodeReport r = DataTransJWW(doc);
  EXPECT_EQ(r.figures, 2);
  EXPECT_EQ(r.placements, 3);
  EXPECT_EQ(r.copies, 4);
  EXPECT_EQ(r.figuresLeft, 0);
  EXPECT_TRUE(r.warnings.empty());

  ASSERT_EQ(doc.EntLineN, 4);
  // A's copies: group 1, the placement's layer, its last placement's scale.
  EXPECT_EQ(doc.EntLine[0].att.nGLayer, 1);
  EXPECT_EQ(doc.EntLine[0].att.nLayer, 6);
  EXPECT_EQ(doc.EntLine[0].end_x, 105);
  EXPECT_EQ(doc.EntLine[1].start_x, 7);
  EXPECT_EQ(doc.EntLgrp[1].adScale, 1);
  // B's copies: group 2, own layer 0, scale |1 / −2|.
  EXPECT_EQ(doc.EntLine[2].att.nGLayer, 2);
  EXPECT_EQ(doc.EntLine[2].att.nLayer, 0);
  EXPECT_EQ(doc.EntLine[3].end_x, -4);
  EXPECT_EQ(doc.EntLgrp[2].adScale, 0.5);
  EXPECT_EQ(doc.EntLgrp[3].adScale, 1);

  // Placements leave the draw order but keep their records; the user block stays.
  EXPECT_EQ(CountDrawn(doc, kBlock), 1);
  EXPECT_EQ(CountDrawn(doc, kLine), 4);
  EXPECT_EQ(doc.EntBlockN, 4);
  EXPECT_EQ(doc.EntNo[0], (TEntJwwNo{kNone, 0}));
  EXPECT_EQ(doc.EntNo[2], (TEntJwwNo{kBlock, 2}));

  // Exploded figures are emptied; the rebuilt tree still uses them (hidden records).
  EXPECT_EQ(doc.EntBlockDef[a].N, 0);
  EXPECT_TRUE(doc.EntBlockDef[a].strName.empty());
  EXPECT_EQ(doc.EntBlockDef[a].nNumber, 10u);
  EXPECT_EQ(doc.EntBlockDef[b].mLineN, 0);
  EXPECT_EQ(doc.EntBlockDef[user].N, 1);
  EXPECT_EQ(doc.EntBlockDef[2].strName, u"E@@SFIGORGFLAG@@1");
  EXPECT_EQ(doc.EntBlockTreeN, 4);
  EXPECT_TRUE(doc.EntBlockDef[a].ref_flag);
  // Arrays are cut back to their counts.
  EXPECT_EQ(doc.EntLine.size(), 4u);
  EXPECT_EQ(doc.EntNo.size(), static_cast<size_t>(doc.Enthd.n1));
}

TEST(Explode, FigureWithoutPlacementIsEmptiedAndKeepsItsGroupScale) {
  TJwwData doc = NewDrawing();
  int a = AddDefinition(doc, 1, u"A@@SFIGORGFLAG@@1");
  AddMemberLine(doc, a, 0, 0, 1, 0);
  AddDefinition(doc, 2, u"user");
  AddTopLevel(doc, Insertion(2));
  doc.EntLgrp[1].adScale = 30;
  ExplodeReport r = DataTransJWW(doc);
  EXPECT_EQ(r.figures, 1);
  EXPECT_EQ(r.placements, 0);
  EXPECT_EQ(doc.EntLineN, 0);
  EXPECT_EQ(doc.EntBlockDef[a].N, 0);
  EXPECT_EQ(doc.EntLgrp[1].adScale, 30);
}

TEST(Explode, DrawingWithoutInsertionsIsLeftAlone) {
  TJwwData doc = NewDrawing();
  int a = AddDefinition(doc, 1, u"A@@SFIGORGFLAG@@1");
  AddMemberLine(doc, a, 0, 0, 1, 0);
  ExplodeReport r = DataTransJWW(doc);
  EXPECT_EQ(r.figures, 1);
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_EQ(doc.EntBlockDef[a].N, 1);
  EXPECT_FALSE(doc.EntBlockDef[a].ref_flag);
}

TEST(Explode, FigureStillPlacedInsideAnotherBlockKeepsItsMembers) {
  TJwwData doc = NewDrawing();
  int fig = AddDefinition(doc, 1, u"F@@SFIGORGFLAG@@1");
  AddMemberLine(doc, fig, 0, 0, 1, 0);
  int user = AddDefinition(doc, 2, u"user");
  AddMemberInsertion(doc, user, Insertion(1, 10, 0));
  AddTopLevel(doc, Insertion(1));
  AddTopLevel(doc, Insertion(2));
  ExplodeReport r = DataTransJWW(doc);

  EXPECT_EQ(r.placements, 1);
  EXPECT_EQ(doc.EntLineN, 1);
  ASSERT_EQ(doc.EntBlockDef[fig].N, 1);
  EXPECT_EQ(doc.EntBlockDef[fig].mLine[0].att.nGLayer, 0);  // the definition is untouched
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("still placed"), std::string::npos);
  // The user block still reaches the figure's geometry.
  EXPECT_TRUE(doc.EntBlockDef[fig].ref_flag);
  EXPECT_TRUE(doc.EntBlockDef[user].ref_flag);

  // Exploding everything afterwards gives the user block's copy, not the
  // hidden figure placement a second time.
  ASSERT_TRUE(doc.BlockExplode());
  EXPECT_EQ(doc.EntLineN, 2);
  EXPECT_EQ(doc.EntLine[1].start_x, 10);
  EXPECT_EQ(doc.EntBlockDefN, 0);
  EXPECT_EQ(CountDrawn(doc, kBlock), 0);
}

TEST(Explode, FigureInsideALaterFigureIsExplodedOnceReplaced) {
  TJwwData doc = NewDrawing();
  int inner = AddDefinition(doc, 1, u"I@@SFIGORGFLAG@@1");
  AddMemberLine(doc, inner, 0, 0, 1, 0);
  int outer = AddDefinition(doc, 2, u"O@@SFIGORGFLAG@@1");
  AddMemberInsertion(doc, outer, Insertion(1, 0, 3));
  AddTopLevel(doc, Insertion(2, 100, 0));
  ExplodeReport r = DataTransJWW(doc);

  // The outer figure re-placed the inner one at the top level, and that
  // placement was exploded in its turn into the inner figure's group.
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_EQ(r.placements, 2);
  EXPECT_EQ(r.copies, 2);
  EXPECT_EQ(doc.EntBlockDef[outer].N, 0);
  EXPECT_EQ(doc.EntBlockDef[inner].N, 0);
  ASSERT_EQ(doc.EntLineN, 1);
  EXPECT_EQ(doc.EntLine[0].start_x, 100);
  EXPECT_EQ(doc.EntLine[0].start_y, 3);
  EXPECT_EQ(doc.EntLine[0].att.nGLayer, 1);
  EXPECT_EQ(CountDrawn(doc, kBlock), 0);
}

TEST(Explode, FiguresPlacingEachOtherEndWithGeometryKept) {
  TJwwData doc = NewDrawing();
  int a = AddDefinition(doc, 1, u"A@@SFIGORGFLAG@@1");
  AddMemberLine(doc, a, 0, 0, 1, 0);
  AddMemberInsertion(doc, a, Insertion(2, 10, 0));
  int b = AddDefinition(doc, 2, u"B@@SFIGORGFLAG@@1");
  AddMemberLine(doc, b, 0, 0, 0, 1);
  AddMemberInsertion(doc, b, Insertion(1, 10, 0));
  AddTopLevel(doc, Insertion(1));
  ExplodeReport r = DataTransJWW(doc);
  // The ring never settles: after the bounded passes the last re-placed
  // insertion is still drawn, through definitions that kept their members.
  EXPECT_GT(doc.EntLineN, 2);
  EXPECT_EQ(CountDrawn(doc, kBlock), 1);
  EXPECT_GT(doc.EntBlockDef[a].N, 0);
  EXPECT_GT(doc.EntBlockDef[b].N, 0);
  EXPECT_EQ(r.warnings.size(), 2u);
}

TEST(Explode, NestedPlacementsComposeRotationAndScale) {
  TJwwData doc = NewDrawing();
  int fig = AddDefinition(doc, 1, u"F@@SFIGORGFLAG@@1");
  TEntJwwBlock nested = Insertion(2, 1, 0, 1, 1, kPiD / 6);
  nested.att.nLayer = 3;
  AddMemberInsertion(doc, fig, nested);
  AddDefinition(doc, 2, u"inner");
  AddTopLevel(doc, Insertion(1, 10, 10, 2, 2, kPiD / 3));
  ExplodeReport r = DataTransJWW(doc);
  EXPECT_TRUE(r.warnings.empty());

  ASSERT_EQ(doc.EntBlockN, 2);
  const TEntJwwBlock& b = doc.EntBlock[1];
  EXPECT_NEAR(b.radKaitenKaku, kPiD / 2, 1e-15);
  EXPECT_NEAR(b.dBairitsuX, 2, 1e-15);
  EXPECT_NEAR(b.dBairitsuY, 2, 1e-15);
  EXPECT_NEAR(b.DPKijunTen_x, 11, 1e-14);
  EXPECT_NEAR(b.DPKijunTen_y, 10 + std::sqrt(3.0), 1e-14);
  EXPECT_EQ(b.att.nGLayer, 1);
  EXPECT_EQ(b.att.nLayer, 0);  // the placement's layer
  EXPECT_EQ(b.nNumber, 2u);
}

TEST(Explode, MirroredNestedPlacementIsReproducedExactly) {
  for (double sy : {1.0, -1.5}) {
    for (double outerSy : {-3.0, 3.0}) {
      TJwwData doc = NewDrawing();
      int fig = AddDefinition(doc, 1, u"F@@SFIGORGFLAG@@1");
      AddMemberInsertion(doc, fig, Insertion(2, 1, 2, 0.5, sy, 0.4));
      AddDefinition(doc, 2, u"inner");
      AddTopLevel(doc, Insertion(1, 5, 6, 3, outerSy, 1.1));
      doc.MakeBlockTree();
      ASSERT_EQ(doc.EntBlockTreeN, 2);
      const TEntJwwBlockTree before = doc.EntBlockTree[1];

      ExplodeReport r = DataTransJWW(doc);
      EXPECT_TRUE(r.warnings.empty());
      // The re-placed insertion is the second level-0 node of the new tree.
      const TEntJwwBlockTree& after = doc.EntBlockTree[1];
      ASSERT_EQ(after.level, 0);
      EXPECT_NEAR(after.x, before.x, 1e-13);
      EXPECT_NEAR(after.y, before.y, 1e-13);
      EXPECT_NEAR(after.r1, before.r1, 1e-14) << sy << " " << outerSy;
      EXPECT_NEAR(after.r2, before.r2, 1e-14) << sy << " " << outerSy;
      EXPECT_NEAR(after.r3, before.r3, 1e-14) << sy << " " << outerSy;
      EXPECT_NEAR(after.r4, before.r4, 1e-14) << sy << " " << outerSy;
    }
  }
}

TEST(Explode, ShearedNestedPlacementIsReported) {
  TJwwData doc = NewDrawing();
  int fig = AddDefinition(doc, 1, u"F@@SFIGORGFLAG@@1");
  AddMemberInsertion(doc, fig, Insertion(2, 0, 0, 1, 1, kPiD / 4));
  AddDefinition(doc, 2, u"inner");
  AddTopLevel(doc, Insertion(1, 0, 0, 2, 1));
  ExplodeReport r = DataTransJWW(doc);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("shear"), std::string::npos);
  EXPECT_EQ(doc.EntBlockN, 2);
}

TEST(Explode, OnlyFifteenFiguresAreExplodedAndTheRestReported) {
  TJwwData doc = NewDrawing();
  for (uint32_t i = 1; i <= 16; ++i) {
    int d =
        AddDefinition(doc, i, u"F" + std::u16string(1, char16_t(u'A' + i)) + u"@@SFIGORGFLAG@@1");
    AddMemberLine(doc, d, 0, 0, i, 0);
    AddTopLevel(doc, Insertion(i));
  }
  ExplodeReport r = DataTransJWW(doc);
  EXPECT_EQ(r.figures, 15);
  EXPECT_EQ(r.figuresLeft, 1);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0], "16 SXF figures found; only the first 15 were exploded");
  EXPECT_EQ(doc.EntLineN, 15);
  EXPECT_EQ(doc.EntLine[14].att.nGLayer, 15);
  EXPECT_EQ(doc.EntBlockDef[15].N, 1);
  EXPECT_EQ(CountDrawn(doc, kBlock), 1);
}

TEST(Explode, Block1ExplodeByName) {
  TJwwData doc = NewDrawing();
  int a = AddDefinition(doc, 1, u"X");
  AddMemberLine(doc, a, 0, 0, 1, 0);
  ExplodeReport r;
  // Without any insertion nothing happens, not even for unknown names.
  EXPECT_TRUE(Block1Explode(doc, 1, u"nope", r));
  EXPECT_EQ(doc.EntBlockDef[a].N, 1);
  AddTopLevel(doc, Insertion(1, 2, 0));
  EXPECT_FALSE(Block1Explode(doc, 1, u"nope", r));
  EXPECT_TRUE(Block1Explode(doc, 4, u"X", r));
  EXPECT_EQ(doc.EntLine[0].att.nGLayer, 4);
  EXPECT_EQ(doc.EntLine[0].start_x, 2);
  EXPECT_EQ(doc.EntBlockDef[a].N, 0);
}

TEST(Explode, WholeDrawingExplosionThroughTheTree) {
  TJwwData doc = NewDrawing();
  int outer = AddDefinition(doc, 1, u"outer");
  doc.EntBlockDef[outer].att.nGLayer = 5;
  doc.EntBlockDef[outer].att.nLayer = 2;
  AddMemberLine(doc, outer, 0, 0, 1, 0);
  AddMemberInsertion(doc, outer, Insertion(2, 10, 0, 1, 1, kPiD / 2));
  int inner = AddDefinition(doc, 2, u"inner");
  AddMemberLine(doc, inner, 0, 0, 1, 0);
  TEntJwwBlock top = Insertion(1, 100, 0, 2, 2);
  top.att.nGLayer = 3;
  top.att.nLayer = 4;
  AddTopLevel(doc, top);
  TEntJwwLine loose;
  doc.EntLine.push_back(loose);
  doc.EntLineN = 1;
  doc.EntNo.push_back({kLine, 0});
  ++doc.Enthd.n1;
  doc.Enthd.n2 = 2;
  doc.MakeBlockTree();

  ASSERT_TRUE(doc.BlockExplode());
  ASSERT_EQ(doc.EntLineN, 3);
  EXPECT_EQ(doc.EntLine[1].start_x, 100);
  EXPECT_EQ(doc.EntLine[1].end_x, 102);
  EXPECT_EQ(doc.EntLine[1].att.nGLayer, 3);
  EXPECT_EQ(doc.EntLine[1].att.nLayer, 4);
  // The nested copy: rotated a quarter turn at (120, 0), on the outer definition's layer.
  EXPECT_NEAR(doc.EntLine[2].start_x, 120, 1e-13);
  EXPECT_NEAR(doc.EntLine[2].end_x, 120, 1e-13);
  EXPECT_NEAR(doc.EntLine[2].end_y, 2, 1e-13);
  EXPECT_EQ(doc.EntLine[2].att.nGLayer, 5);
  EXPECT_EQ(doc.EntLine[2].att.nLayer, 2);

  EXPECT_EQ(doc.EntBlockN, 0);
  EXPECT_EQ(doc.EntBlockDefN, 0);
  EXPECT_EQ(doc.Enthd.n2, 0);
  EXPECT_EQ(doc.EntBlockTreeN, 0);
  EXPECT_EQ(doc.EntNo[0], (TEntJwwNo{kNone, 0}));
  EXPECT_EQ(CountDrawn(doc, kLine), 3);
  EXPECT_EQ(doc.EntLine.size(), 3u);
  EXPECT_TRUE(doc.BlockExplode());  // nothing left: success
}

// Real drawings: no SXF figures, so the conversion explodes nothing; exploding
// every user block adds exactly the members of every drawn placement.
TEST(Explode, CorpusDrawingsExplodeCompletely) {
  auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  int files = 0, withBlocks = 0;
  for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
    if (entry.path().extension() != ".jww") continue;
    SCOPED_TRACE(entry.path().filename().string());
    TJwwData doc;
    ASSERT_TRUE(doc.FileIn(entry.path().string()));
    ++files;
    int drawnBefore[8] = {};
    for (int32_t i = 0; i < doc.Enthd.n1; ++i) {
      if (doc.EntNo[i].EntType >= 1 && doc.EntNo[i].EntType <= 7)
        ++drawnBefore[doc.EntNo[i].EntType];
    }
    ExplodeReport r = DataTransJWW(doc);
    EXPECT_EQ(r.figures, 0);
    EXPECT_EQ(r.copies, 0);
    EXPECT_EQ(CountDrawn(doc, kBlock), drawnBefore[kBlock]);

    int expectedCopies[8] = {};
    for (int32_t k = 0; k < doc.EntBlockTreeN; ++k) {
      const TEntJwwBlockTree& node = doc.EntBlockTree[k];
      if (node.defno < 0) continue;
      const TEntJwwBlockDef& d = doc.EntBlockDef[node.defno];
      for (int32_t m = 0; m < d.N; ++m) {
        if (d.mNo[m].EntType >= 1 && d.mNo[m].EntType <= 6) ++expectedCopies[d.mNo[m].EntType];
      }
    }
    withBlocks += doc.EntBlockTreeN > 0;
    ASSERT_TRUE(doc.BlockExplode());
    EXPECT_EQ(CountDrawn(doc, kBlock), 0);
    EXPECT_EQ(doc.EntBlockDefN, 0);
    for (int kind = 1; kind <= 6; ++kind) {
      EXPECT_EQ(CountDrawn(doc, kind), drawnBefore[kind] + expectedCopies[kind]) << "kind " << kind;
    }
    for (int32_t i = 0; i < doc.EntLineN; ++i) {
      ASSERT_TRUE(std::isfinite(doc.EntLine[i].start_x) && std::isfinite(doc.EntLine[i].end_y));
    }
    for (int32_t i = 0; i < doc.EntEnkoN; ++i) {
      ASSERT_TRUE(std::isfinite(doc.EntEnko[i].dHankei) &&
                  std::isfinite(doc.EntEnko[i].radKaishiKaku));
    }
  }
  EXPECT_GT(files, 0);
  EXPECT_GT(withBlocks, 0);
}
