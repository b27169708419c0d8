// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "jww/document.h"
#include "support/block_drawings.h"

using namespace jww;
using namespace testjww;

namespace {

constexpr double kPiD = 3.14159265358979323846;

// By reference: these tests fill one definition at a time.
TEntJwwBlockDef& Definition(TJwwData& doc, uint32_t number, std::u16string name) {
  return doc.EntBlockDef[AddDefinition(doc, number, std::move(name))];
}

void AddNested(TEntJwwBlockDef& d, const TEntJwwBlock& b) {
  d.mBlock.push_back(b);
  d.mNo.push_back({kBlock, d.mBlockN});
  ++d.mBlockN;
  ++d.N;
}

}  // namespace

TEST(BlockTree, DrawingWithoutInsertionsUsesNoDefinition) {
  TJwwData doc;
  Definition(doc, 1, u"A");
  doc.MakeBlockTree();
  EXPECT_EQ(doc.EntBlockTreeN, 0);
  EXPECT_EQ(doc.EntBlockNum, 0);
  EXPECT_FALSE(doc.EntBlockDef[0].ref_flag);
  EXPECT_EQ(doc.EntBlockDef[0].ref_no, -1);
}

TEST(BlockTree, DefinitionPlacedTwiceIsNumberedOnce) {
  TJwwData doc;
  Definition(doc, 7, u"unused");
  Definition(doc, 3, u"A");
  AddTopLevel(doc, Insertion(3, 1, 1));
  AddTopLevel(doc, Insertion(3, 5, 5));
  doc.MakeBlockTree();
  ASSERT_EQ(doc.EntBlockTreeN, 2);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(doc.EntBlockTree[k].level, 0);
    EXPECT_EQ(doc.EntBlockTree[k].parent, -1);
    EXPECT_EQ(doc.EntBlockTree[k].defno, 1);
    EXPECT_EQ(doc.EntBlockTree[k].name, u"A");
  }
  EXPECT_EQ(doc.EntBlockNum, 1);
  EXPECT_FALSE(doc.EntBlockDef[0].ref_flag);
  EXPECT_EQ(doc.EntBlockDef[1].ref_no, 0);
}

TEST(BlockTree, NestedNodesComposeTransformsAndCarryTheOuterAttributes) {
  TJwwData doc;
  TEntJwwBlockDef& outer = Definition(doc, 1, u"outer");
  outer.att.nGLayer = 4;
  outer.att.nPenColor = 6;
  AddNested(outer, Insertion(2, 1, 0));
  AddNested(outer, Insertion(2, 0, 1));
  Definition(doc, 2, u"inner");
  TEntJwwBlock top = Insertion(1, 10, 20, 2, 3, kPiD / 2);
  top.att.nGLayer = 9;
  AddTopLevel(doc, top);
  doc.MakeBlockTree();

  ASSERT_EQ(doc.EntBlockTreeN, 3);
  const TEntJwwBlockTree& root = doc.EntBlockTree[0];
  EXPECT_EQ(root.att.nGLayer, 9);
  EXPECT_NEAR(root.r1, 0, 1e-15);
  EXPECT_NEAR(root.r2, -3, 1e-15);
  EXPECT_NEAR(root.r3, 2, 1e-15);
  EXPECT_NEAR(root.r4, 0, 1e-15);

  const TEntJwwBlockTree& n1 = doc.EntBlockTree[1];
  EXPECT_EQ(n1.level, 1);
  EXPECT_EQ(n1.parent, 0);
  EXPECT_EQ(n1.defno, 1);
  EXPECT_EQ(n1.att, doc.EntBlockDef[0].att);
  EXPECT_NEAR(n1.x, 10, 1e-14);
  EXPECT_NEAR(n1.y, 22, 1e-14);
  EXPECT_NEAR(n1.r1, 0, 1e-15);
  EXPECT_NEAR(n1.r2, -3, 1e-15);
  EXPECT_NEAR(n1.r3, 2, 1e-15);
  EXPECT_NEAR(n1.r4, 0, 1e-15);
  const TEntJwwBlockTree& n2 = doc.EntBlockTree[2];
  EXPECT_NEAR(n2.x, 7, 1e-14);
  EXPECT_NEAR(n2.y, 20, 1e-14);
  EXPECT_EQ(doc.EntBlockNum, 2);
}

TEST(BlockTree, UnknownNumberGivesALeafThatMarksNothing) {
  TJwwData doc;
  TEntJwwBlockDef& a = Definition(doc, 1, u"A");
  AddNested(a, Insertion(42));
  AddTopLevel(doc, Insertion(1));
  doc.MakeBlockTree();
  ASSERT_EQ(doc.EntBlockTreeN, 2);
  EXPECT_EQ(doc.EntBlockTree[1].defno, -1);
  EXPECT_TRUE(doc.EntBlockTree[1].name.empty());
  EXPECT_EQ(doc.EntBlockNum, 1);
}

TEST(BlockTree, HiddenTopLevelInsertionsStillGetNodes) {
  TJwwData doc;
  Definition(doc, 1, u"A");
  AddTopLevel(doc, Insertion(1));
  doc.EntNo[0] = {kNone, 0};
  doc.MakeBlockTree();
  EXPECT_EQ(doc.EntBlockTreeN, 1);
  EXPECT_TRUE(doc.EntBlockDef[0].ref_flag);
}

TEST(BlockTree, CyclicDefinitionsTerminateWithTheOffendingNodeAsLeaf) {
  {
    TJwwData doc;  // A places itself
    TEntJwwBlockDef& a = Definition(doc, 1, u"A");
    AddNested(a, Insertion(1, 5, 0));
    AddTopLevel(doc, Insertion(1));
    doc.MakeBlockTree();
    ASSERT_EQ(doc.EntBlockTreeN, 2);
    EXPECT_EQ(doc.EntBlockTree[1].defno, 0);
    EXPECT_EQ(doc.EntBlockTree[1].level, 1);
    EXPECT_EQ(doc.EntBlockNum, 1);
  }
  {
    TJwwData doc;  // A -> B -> C -> A, and C also places D
    AddNested(Definition(doc, 1, u"A"), Insertion(2));
    AddNested(Definition(doc, 2, u"B"), Insertion(3));
    TEntJwwBlockDef& c = Definition(doc, 3, u"C");
    AddNested(c, Insertion(1));
    AddNested(c, Insertion(4));
    Definition(doc, 4, u"D");
    AddTopLevel(doc, Insertion(2));
    doc.MakeBlockTree();
    // B, C, then A and D under C, then B under A (B is on the path: a leaf).
    ASSERT_EQ(doc.EntBlockTreeN, 5);
    EXPECT_EQ(doc.EntBlockTree[4].defno, 1);
    EXPECT_EQ(doc.EntBlockTree[4].level, 3);
    EXPECT_EQ(doc.EntBlockNum, 4);
    EXPECT_FALSE(doc.EntBlockTreeCut);
  }
}

TEST(BlockTree, ExponentialNestingStopsAtTheNodeLimitWithCompleteMarks) {
  // 21 definitions, each placing the next twice: 2^21 − 1 nodes in full.
  TJwwData doc;
  constexpr uint32_t kDepth = 21;
  for (uint32_t i = 1; i <= kDepth; ++i) {
    TEntJwwBlockDef& d = Definition(doc, i, u"L");
    if (i < kDepth) {
      AddNested(d, Insertion(i + 1, 1, 0));
      AddNested(d, Insertion(i + 1, 0, 1));
    }
  }
  Definition(doc, 99, u"unused");
  AddTopLevel(doc, Insertion(1));
  doc.MakeBlockTree();
  EXPECT_TRUE(doc.EntBlockTreeCut);
  EXPECT_LE(doc.EntBlockTreeN, 1'000'000);
  EXPECT_EQ(doc.EntBlockNum, static_cast<int32_t>(kDepth));
  EXPECT_TRUE(doc.EntBlockDef[kDepth - 1].ref_flag);
  EXPECT_FALSE(doc.EntBlockDef[kDepth].ref_flag);
  // Exploding a cut tree would lose the placements it lacks.
  EXPECT_FALSE(doc.BlockExplode());
  EXPECT_EQ(doc.EntBlockN, 1);
}

TEST(BlockTree, ChangeBlockNoRenumbersOnlyDefinitionsInUse) {
  TJwwData doc;
  Definition(doc, 5, u"five");
  Definition(doc, 9, u"nine");
  AddTopLevel(doc, Insertion(9));
  doc.MakeBlockTree();
  EXPECT_EQ(doc.ChangeBlockNo(9), 0);
  EXPECT_EQ(doc.ChangeBlockNo(5), 5);
  EXPECT_EQ(doc.ChangeBlockNo(7), 0);
}

TEST(BlockTree, BlockNamesCompareByBaseNameFoundInAnyCase) {
  TJwwData doc;
  Definition(doc, 1, u"door");
  Definition(doc, 2, u"win@@SFIG12");
  EXPECT_EQ(doc.GetBlkNo(u"door@@sfig12"), 0);
  EXPECT_EQ(doc.GetBlkNo(u"win"), 1);
  EXPECT_EQ(doc.GetBlkNo(u"Door"), -1);
  EXPECT_EQ(doc.GetBlkNo(u"wall"), -1);
  EXPECT_EQ(doc.GetBlkNumber(1), 2);
  EXPECT_EQ(doc.GetBlkNumber(2), -1);
  EXPECT_EQ(doc.GetBlkNumber(-1), -1);
}

TEST(BlockTree, GetBlkNameFindsTheFirstFreeNumberAndKeepsTheSuffix) {
  TJwwData doc;
  Definition(doc, 1, u"A");
  Definition(doc, 2, u"A~1@@SFIGORGFLAG@@1");
  EXPECT_EQ(doc.GetBlkName(u"A@@SFIG#x"), u"A~2@@SFIG#x");
  EXPECT_EQ(doc.GetBlkName(u"A@@sfig#x"), u"A~2@@sfig#x");
  EXPECT_EQ(doc.GetBlkName(u"A"), u"A~2");
  EXPECT_EQ(doc.GetBlkName(u"B@@SFIG#x"), u"B@@SFIG#x");
}
