// SPDX-License-Identifier: GPL-3.0-or-later
// The read-only walk of the placed drawing, held against what the explosion
// makes of the same drawing: every member the walk visits, transformed by
// the placement it reports, must be the copy TJwwData::BlockExplode appends,
// in the same order and on the same layer.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "jww/dump.h"
#include "jww/extents.h"
#include "jww/sxf_explode.h"
#include "jww/walk.h"
#include "support/block_drawings.h"
#include "support/corpus.h"
#include "tools/sample_drawings.h"
#include "util/geometry.h"

using namespace jww;
using namespace testjww;

namespace {

constexpr double kPiD = 3.14159265358979323846;

// The draw-order entries from `from` on, with their records, as dump text.
std::string DumpFrom(TJwwData d, int32_t from) {
  const int32_t n = std::min<int32_t>(d.Enthd.n1, static_cast<int32_t>(d.EntNo.size()));
  d.EntNo.assign(d.EntNo.begin() + std::min(from, n), d.EntNo.begin() + n);
  d.Enthd.n1 = static_cast<int32_t>(d.EntNo.size());
  d.EntBlockDef.clear();
  d.EntBlockDefN = 0;
  return DumpEntities(d);
}

using Layers = std::vector<std::pair<uint16_t, uint16_t>>;

Layers LayersFrom(const TJwwData& d, int32_t from) {
  Layers out;
  for (int32_t i = from; i < d.Enthd.n1; ++i) {
    const TEntJwwNo e = d.EntNo[i];
    const TEntJwwAttr* att = nullptr;
    switch (e.EntType) {
      case kLine:
        att = &d.EntLine[e.EntNo].att;
        break;
      case kEnko:
        att = &d.EntEnko[e.EntNo].att;
        break;
      case kTen:
        att = &d.EntTen[e.EntNo].att;
        break;
      case kMoji:
        att = &d.EntMoji[e.EntNo].att;
        break;
      case kSunpo:
        att = &d.EntSunpo[e.EntNo].att;
        break;
      case kSolid:
        att = &d.EntSolid[e.EntNo].att;
        break;
      default:
        continue;
    }
    out.emplace_back(att->nGLayer, att->nLayer);
  }
  return out;
}

// Appends one placed member the way the explosion does.
bool AppendPlaced(TJwwData& out, const PlacedEntity& e) {
  const TPlacement& t = *e.placement;
  switch (e.kind) {
    case kLine:
      return out.BlockExplodeLine(*e.Get<TEntJwwLine>(), t);
    case kEnko:
      return out.BlockExplodeEnko(*e.Get<TEntJwwEnko>(), t);
    case kTen:
      return out.BlockExplodeTen(*e.Get<TEntJwwTen>(), t);
    case kMoji:
      return out.BlockExplodeMoji(*e.Get<TEntJwwMoji>(), t);
    case kSunpo:
      return out.BlockExplodeSunpo(*e.Get<TEntJwwSunpo>(), t);
    case kSolid:
      return out.BlockExplodeSolid(*e.Get<TEntJwwSolid>(), t);
    default:
      return true;  // insertions: their members follow under their own nodes
  }
}

// Walks `doc`, explodes a copy, and checks that both give the same copies on
// the same layers; the drawing's own entities come first, in draw order.
WalkSummary ExpectWalkMatchesExplosion(const TJwwData& doc) {
  const std::string before = DumpDocument(doc);
  TJwwData walked = doc;
  Layers walkedLayers;
  std::vector<TEntJwwNo> drawn;  // the draw order without its cleared entries
  for (int32_t i = 0; i < doc.Enthd.n1; ++i) {
    if (doc.EntNo[i].EntType != kNone) drawn.push_back(doc.EntNo[i]);
  }
  size_t topLevel = 0;
  bool placedSeen = false, orderKept = true;
  const WalkSummary s = WalkPlacedDrawing(doc, [&](const PlacedEntity& e) {
    if (e.TopLevel()) {
      orderKept = orderKept && !placedSeen;
      EXPECT_LT(topLevel, drawn.size());
      if (topLevel < drawn.size()) {
        EXPECT_EQ(e.index, drawn[topLevel].EntNo);
        EXPECT_EQ(e.kind, drawn[topLevel].EntType);
      }
      ++topLevel;
      return;
    }
    placedSeen = true;
    EXPECT_TRUE(AppendPlaced(walked, e));
    if (e.kind != kBlock) walkedLayers.emplace_back(e.gLayer, e.layer);
  });
  EXPECT_TRUE(orderKept) << "the drawing's own entities come first";
  EXPECT_EQ(topLevel, drawn.size());
  EXPECT_EQ(DumpDocument(doc), before) << "the walk changed the drawing";

  TJwwData exploded = doc;
  EXPECT_TRUE(exploded.BlockExplode());
  EXPECT_EQ(DumpFrom(walked, doc.Enthd.n1), DumpFrom(exploded, doc.Enthd.n1));
  EXPECT_EQ(walkedLayers, LayersFrom(exploded, doc.Enthd.n1));
  return s;
}

TEntJwwBlock WithLayer(TEntJwwBlock b, uint16_t group, uint16_t layer, bool keep = false) {
  b.att.nGLayer = group;
  b.att.nLayer = layer;
  if (keep) b.att.nPenStyle |= kKeepLayerBit;
  return b;
}

// Every visit of the member line `line`, with its placed end points.
std::vector<util::DLine> PlacedLines(const TJwwData& doc, const TEntJwwLine* line) {
  std::vector<util::DLine> out;
  WalkPlacedDrawing(doc, [&](const PlacedEntity& e) {
    if (e.Get<TEntJwwLine>() == line) {
      out.push_back(util::TransLine(*e.placement, {line->start_x, line->start_y},
                                    {line->end_x, line->end_y}));
    }
  });
  return out;
}

}  // namespace

TEST(Walk, FiguresNestedThreeDeep) {
  // Drawing ← A at (100, 0) turned 90° ← B at (10, 0) scaled 2 ← C at (0, 5)
  // mirrored in x ← the line (1, 0)-(2, 0).
  TJwwData doc = NewDrawing();
  const int a = AddDefinition(doc, 1, u"A");
  const int b = AddDefinition(doc, 2, u"B");
  const int c = AddDefinition(doc, 3, u"C");
  AddMemberLine(doc, c, 1, 0, 2, 0);
  AddMemberInsertion(doc, b, Insertion(3, 0, 5, -1, 1));
  AddMemberLine(doc, b, 0, 0, 1, 1);
  AddMemberInsertion(doc, a, Insertion(2, 10, 0, 2, 2));
  AddMemberLine(doc, 0, -1, -1, 1, 1);
  AddTopLevel(doc, Insertion(1, 100, 0, 1, 1, kPiD / 2));
  doc.MakeBlockTree();

  const WalkSummary s = ExpectWalkMatchesExplosion(doc);
  EXPECT_EQ(s.placements, 3);
  EXPECT_FALSE(s.cut);
  // 1 insertion at the top; under A an insertion and a line; under B an
  // insertion and a line; under C one line.
  EXPECT_EQ(s.entities, 6);

  const std::vector<util::DLine> lines = PlacedLines(doc, &doc.EntBlockDef[c].mLine[0]);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NEAR(lines[0].a.x, 90, 1e-12);
  EXPECT_NEAR(lines[0].a.y, 8, 1e-12);
  EXPECT_NEAR(lines[0].b.x, 90, 1e-12);
  EXPECT_NEAR(lines[0].b.y, 6, 1e-12);

  std::vector<size_t> depths;
  WalkPlacedDrawing(doc, [&](const PlacedEntity& e) {
    if (e.kind == kLine) depths.push_back(e.chain.size());
    if (e.definition == &doc.EntBlockDef[c]) {
      ASSERT_EQ(e.chain.size(), 3u);
      EXPECT_EQ(doc.EntBlockTree[e.chain[0]].level, 0);
      EXPECT_EQ(doc.EntBlockTree[e.chain[2]].defno, c);
    }
  });
  EXPECT_EQ(depths, (std::vector<size_t>{1, 2, 3}));
}

TEST(Walk, MirroredAndShearedPlacements) {
  TJwwData doc = NewDrawing();
  const int fig = AddDefinition(doc, 1, u"F");
  AddMemberLine(doc, fig, 0, 0, 1, 0);
  AddMemberLine(doc, fig, 0, 0, 0, 1);
  const int outer = AddDefinition(doc, 2, u"O");
  // Turned 45° inside a placement scaled 2 × 1: the composed transform shears.
  AddMemberInsertion(doc, outer, Insertion(1, 0, 0, 1, 1, kPiD / 4));
  AddTopLevel(doc, Insertion(1, 5, 5, 1, -1));  // mirrored
  AddTopLevel(doc, Insertion(2, 0, 0, 2, 1));
  doc.MakeBlockTree();
  ExpectWalkMatchesExplosion(doc);

  std::vector<util::Affine> placements;
  ForEachPlacement(doc, false, [&](const PlacementVisit& p) {
    if (p.definition == &doc.EntBlockDef[fig]) placements.push_back(p.placement);
  });
  ASSERT_EQ(placements.size(), 2u);
  EXPECT_LT(util::Determinant(placements[0]), 0) << "the mirror is kept";
  const double h = std::sqrt(0.5);
  const util::Affine& sheared = placements[1];
  EXPECT_NEAR(sheared.m11, 2 * h, 1e-15);
  EXPECT_NEAR(sheared.m12, -2 * h, 1e-15);
  EXPECT_NEAR(sheared.m21, h, 1e-15);
  EXPECT_NEAR(sheared.m22, h, 1e-15);
  // The images of the axes are no longer perpendicular.
  EXPECT_GT(std::fabs(sheared.m11 * sheared.m12 + sheared.m21 * sheared.m22), 0.1);
}

TEST(Walk, DefinitionPlacedByTwoNodesIsVisitedTwice) {
  TJwwData doc = NewDrawing();
  const int x = AddDefinition(doc, 1, u"X");
  AddMemberLine(doc, x, 0, 0, 1, 0);
  const int y = AddDefinition(doc, 2, u"Y");
  AddMemberInsertion(doc, y, Insertion(1, 3, 0));
  AddTopLevel(doc, Insertion(1, 0, 10));
  AddTopLevel(doc, Insertion(2, 0, 20));
  doc.MakeBlockTree();
  ExpectWalkMatchesExplosion(doc);
  const std::vector<util::DLine> lines = PlacedLines(doc, &doc.EntBlockDef[x].mLine[0]);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].a, (util::DPoint{0, 10}));
  EXPECT_EQ(lines[1].a, (util::DPoint{3, 20}));

  // A placement the SXF explosion took out of the draw order is no longer
  // shown: only its hidden node remains.
  doc.EntBlockDef[x].strName = u"X@@SFIGORGFLAG@@1";
  DataTransJWW(doc);
  const WalkSummary s = ExpectWalkMatchesExplosion(doc);
  EXPECT_EQ(s.placements, 2);  // Y and the X inside it, which keeps its members
  int64_t all = 0;
  ForEachPlacement(doc, true, [&](const PlacementVisit&) { ++all; });
  EXPECT_EQ(all, 3);
}

TEST(Walk, KeepLayerBitDecidesWhereMembersShow) {
  TJwwData doc = NewDrawing();
  const int x = AddDefinition(doc, 1, u"X");
  AddMemberLine(doc, x, 0, 0, 1, 0, 7);  // own layer 7 of group 0
  const int y = AddDefinition(doc, 2, u"Y");
  doc.EntBlockDef[y].att.nGLayer = 6;  // nested nodes carry the containing definition's layers
  doc.EntBlockDef[y].att.nLayer = 9;
  AddMemberInsertion(doc, y, Insertion(1));
  AddTopLevel(doc, WithLayer(Insertion(1), 3, 5, true));
  AddTopLevel(doc, WithLayer(Insertion(1), 2, 4));
  AddTopLevel(doc, WithLayer(Insertion(2), 1, 1));
  doc.MakeBlockTree();
  ExpectWalkMatchesExplosion(doc);

  Layers shown;
  WalkPlacedDrawing(doc, [&](const PlacedEntity& e) {
    if (e.kind == kLine) shown.emplace_back(e.gLayer, e.layer);
    if (e.TopLevel()) {
      EXPECT_EQ(e.gLayer, e.Attr().nGLayer);
      EXPECT_EQ(e.layer, e.Attr().nLayer);
    }
  });
  EXPECT_EQ(shown, (Layers{{0, 7}, {2, 4}, {6, 9}}));
}

TEST(Walk, CyclicDefinitionEndsLikeTheTree) {
  TJwwData doc = NewDrawing();
  const int a = AddDefinition(doc, 1, u"A");
  AddMemberLine(doc, a, 0, 0, 1, 0);
  AddMemberInsertion(doc, a, Insertion(1, 2, 0));  // A places itself
  const int b = AddDefinition(doc, 2, u"B");       // B ↔ C place each other
  const int c = AddDefinition(doc, 3, u"C");
  AddMemberInsertion(doc, b, Insertion(3, 0, 1));
  AddMemberInsertion(doc, c, Insertion(2, 1, 0));
  AddMemberLine(doc, c, 0, 0, 0, 1);
  AddTopLevel(doc, Insertion(1));
  AddTopLevel(doc, Insertion(2));
  doc.MakeBlockTree();
  const WalkSummary s = ExpectWalkMatchesExplosion(doc);
  EXPECT_EQ(s.placements, doc.EntBlockTreeN);
  EXPECT_FALSE(s.cut);
  // A at the top and once more as the leaf that closes the cycle.
  EXPECT_EQ(PlacedLines(doc, &doc.EntBlockDef[a].mLine[0]).size(), 2u);
}

TEST(Walk, CutTreeIsWalkedAsFarAsItReaches) {
  // 21 definitions, each placing the next twice: the tree stops at its limit.
  TJwwData doc = NewDrawing();
  constexpr uint32_t kDepth = 21;
  for (uint32_t i = 1; i <= kDepth; ++i) {
    const int d = AddDefinition(doc, i, u"L");
    if (i < kDepth) {
      AddMemberInsertion(doc, d, Insertion(i + 1, 1, 0));
      AddMemberInsertion(doc, d, Insertion(i + 1, 0, 1));
    }
  }
  AddMemberLine(doc, 0, 0, 0, 1, 1);
  AddTopLevel(doc, Insertion(1));
  doc.MakeBlockTree();
  ASSERT_TRUE(doc.EntBlockTreeCut);
  const WalkSummary s = WalkPlacedDrawing(doc, [](const PlacedEntity&) {});
  EXPECT_TRUE(s.cut);
  EXPECT_EQ(s.placements, doc.EntBlockTreeN);
  // The top insertion, the line, and two insertions under every node.
  EXPECT_EQ(s.entities, 2 + 2 * static_cast<int64_t>(doc.EntBlockTreeN));
  TJwwData copy = doc;
  EXPECT_FALSE(copy.BlockExplode()) << "a cut tree is not exploded";
}

TEST(Walk, SamplePlanMatchesTheExplosionAndTheExtents) {
  const TJwwData doc = tools::MakeSamplePlan();
  const WalkSummary s = ExpectWalkMatchesExplosion(doc);
  EXPECT_GT(s.placements, 0);

  // Every entity kind shows up, and the extents hold every placed point.
  std::map<int32_t, int> kinds;
  MinMaxBox box;
  WalkPlacedDrawing(doc, [&](const PlacedEntity& e) {
    ++kinds[e.kind];
    if (const TEntJwwLine* l = e.Get<TEntJwwLine>()) {
      const util::DLine p =
          util::TransLine(*e.placement, {l->start_x, l->start_y}, {l->end_x, l->end_y});
      MinMaxAdd(box, p.a.x, p.a.y);
      MinMaxAdd(box, p.b.x, p.b.y);
    }
  });
  for (int32_t k = kLine; k <= kBlock; ++k) EXPECT_GT(kinds[k], 0) << "kind " << k;
  const MinMaxBox all = MeasureExtents(doc);
  EXPECT_LE(all.minX, box.minX);
  EXPECT_LE(all.minY, box.minY);
  EXPECT_GE(all.maxX, box.maxX);
  EXPECT_GE(all.maxY, box.maxY);
}

TEST(Walk, PlaceInsertionComposesAsTheTreeDoes) {
  // Turned 90° with scales 2 and 3, then an insertion at (1, 0): the nested
  // node lands at the outer point plus (0, 2) with linear part (0, −3, 2, 0).
  TEntJwwBlock outer = Insertion(1, 7, 8, 2, 3, kPiD / 2);
  const util::Affine o = InsertionTransform(outer);
  const util::Affine n = PlaceInsertion(o, Insertion(2, 1, 0));
  EXPECT_NEAR(n.tx, 7, 1e-15);
  EXPECT_NEAR(n.ty, 10, 1e-15);
  EXPECT_NEAR(n.m11, 0, 1e-15);
  EXPECT_NEAR(n.m12, -3, 1e-15);
  EXPECT_NEAR(n.m21, 2, 1e-15);
  EXPECT_NEAR(n.m22, 0, 1e-15);
  TEntJwwBlockTree node;
  SetNodeTransform(node, n);
  const util::Affine back = NodeTransform(node);
  EXPECT_EQ(back.tx, n.tx);
  EXPECT_EQ(back.m12, n.m12);
  outer.att.nPenStyle = kKeepLayerBit;
  node.att = outer.att;
  EXPECT_TRUE(NodePlacement(node).keepLayer);
}

TEST(Walk, CorpusDrawingsMatchTheExplosion) {
  const auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  int drawings = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(*dir)) {
    if (e.path().extension() != ".jww") continue;
    TJwwData doc;
    if (!doc.FileCheck(e.path().string()) || !doc.FileIn(e.path().string())) continue;
    SCOPED_TRACE(e.path().filename().string());
    const WalkSummary s = ExpectWalkMatchesExplosion(doc);
    EXPECT_FALSE(s.cut);
    ++drawings;
  }
  EXPECT_GT(drawings, 0);
}
