// SPDX-License-Identifier: GPL-3.0-or-later
// The block reference tree: one node per placement of a definition reachable
// from the drawing, with the full transform into drawing coordinates, plus
// the in-use marks and dense numbers of the definitions the writer keeps.

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>

#include "jww/block_numbers.h"
#include "jww/document.h"
#include "jww/walk.h"
#include "util/text.h"

namespace jww {

// Lookups through this map agree with a linear scan for the first match.
std::unordered_map<uint32_t, int32_t> FirstDefinitionByNumber(const TJwwData& doc) {
  std::unordered_map<uint32_t, int32_t> first;
  first.reserve(static_cast<size_t>(std::max<int32_t>(doc.EntBlockDefN, 0)));
  for (int32_t i = 0; i < doc.EntBlockDefN; ++i) first.try_emplace(doc.EntBlockDef[i].nNumber, i);
  return first;
}

namespace {

// Nested placements multiply: a few definitions that each place the next one
// twice already give millions of nodes. Past this many the tree stops growing
// instead of exhausting memory (the in-use marks are still complete).
constexpr int32_t kMaxBlockTreeNodes = 1'000'000;

int32_t Lookup(const std::unordered_map<uint32_t, int32_t>& first, uint32_t no) {
  auto it = first.find(no);
  return it == first.end() ? -1 : it->second;
}

// Whether definition `defno` already stands on the path from `node` to its root.
bool OnPathToRoot(const std::vector<TEntJwwBlockTree>& tree, int32_t node, int32_t defno) {
  for (int32_t k = node; k >= 0; k = tree[k].parent) {
    if (tree[k].defno == defno) return true;
  }
  return false;
}

// Definitions reachable from the top-level insertions, by definition links
// rather than tree nodes, so the marks stay right when the tree was cut short.
std::vector<bool> ReachableDefinitions(const TJwwData& doc,
                                       const std::unordered_map<uint32_t, int32_t>& first) {
  std::vector<bool> seen(doc.EntBlockDefN, false);
  std::vector<int32_t> todo;
  auto visit = [&](uint32_t no) {
    int32_t d = Lookup(first, no);
    if (d >= 0 && !seen[d]) {
      seen[d] = true;
      todo.push_back(d);
    }
  };
  for (int32_t j = 0; j < doc.EntBlockN; ++j) visit(doc.EntBlock[j].nNumber);
  while (!todo.empty()) {
    const TEntJwwBlockDef& def = doc.EntBlockDef[todo.back()];
    todo.pop_back();
    for (int32_t b = 0; b < def.mBlockN && b < static_cast<int32_t>(def.mBlock.size()); ++b) {
      visit(def.mBlock[b].nNumber);
    }
  }
  return seen;
}

// Base name: the part before "@@SFIG" in any letter case; the whole name when
// the marker is absent. Returned as a length into `name`.
size_t BaseNameLength(std::u16string_view name) {
  const size_t pos = util::FindAsciiNoCase(name, u"@@SFIG");
  return pos == std::u16string_view::npos ? name.size() : pos;
}

std::u16string_view BaseName(std::u16string_view name) {
  return name.substr(0, BaseNameLength(name));
}

// A name's base is a prefix of it: names that do not start with `base` are
// passed over without the search for the marker (a drawing read from SFC
// adds thousands of definitions, each compared with every one before it).
bool HasBaseName(std::u16string_view name, std::u16string_view base) {
  return name.starts_with(base) && BaseName(name) == base;
}

bool AnyDefinitionHasBaseName(const TJwwData& doc, std::u16string_view base) {
  for (int32_t i = 0; i < doc.EntBlockDefN; ++i) {
    if (HasBaseName(doc.EntBlockDef[i].strName, base)) return true;
  }
  return false;
}

}  // namespace

void TJwwData::MakeBlockTree() {
  EntBlockTree.clear();
  EntBlockTreeN = 0;
  EntBlockTreeCut = false;
  for (int32_t i = 0; i < EntBlockDefN; ++i) {
    EntBlockDef[i].ref_flag = false;
    EntBlockDef[i].ref_no = -1;
  }
  EntBlockNum = 0;
  if (EntBlockN <= 0) return;

  const auto first = FirstDefinitionByNumber(*this);
  auto setDefinition = [&](TEntJwwBlockTree& node) {
    node.defno = Lookup(first, node.no);
    node.name = node.defno >= 0 ? EntBlockDef[node.defno].strName : std::u16string();
  };

  try {
    EntBlockTree.resize(EntBlockN);
    for (int32_t j = 0; j < EntBlockN; ++j) {
      const TEntJwwBlock& b = EntBlock[j];
      TEntJwwBlockTree& node = EntBlockTree[j];
      node.att = b.att;
      node.level = 0;
      node.parent = -1;
      node.no = b.nNumber;
      SetNodeTransform(node, InsertionTransform(b));
      setDefinition(node);
    }

    // A node that places a definition already on its own path (a cycle) is
    // kept, but not expanded: it would otherwise repeat without end.
    std::vector<bool> expand(EntBlockN, true);
    for (size_t k = 0; k < EntBlockTree.size(); ++k) {
      const int32_t defno = EntBlockTree[k].defno;
      if (defno < 0 || !expand[k]) continue;
      const TEntJwwBlockDef& def = EntBlockDef[defno];
      const int32_t nested =
          std::min<int32_t>(def.mBlockN, static_cast<int32_t>(def.mBlock.size()));
      if (nested <= 0) continue;
      if (EntBlockTree.size() + nested > static_cast<size_t>(kMaxBlockTreeNodes)) {
        EntBlockTreeCut = true;
        break;
      }
      // By value: the appends below may move the tree.
      const util::Affine placed = NodeTransform(EntBlockTree[k]);
      const int32_t level = EntBlockTree[k].level + 1;
      for (int32_t b = 0; b < nested; ++b) {
        const TEntJwwBlock& ins = def.mBlock[b];
        TEntJwwBlockTree node;
        node.att = def.att;
        node.level = level;
        node.parent = static_cast<int32_t>(k);
        node.no = ins.nNumber;
        SetNodeTransform(node, PlaceInsertion(placed, ins));
        setDefinition(node);
        expand.push_back(node.defno < 0 ||
                         !OnPathToRoot(EntBlockTree, static_cast<int32_t>(k), node.defno));
        EntBlockTree.push_back(std::move(node));
      }
    }
  } catch (const std::bad_alloc&) {
    EntBlockTreeCut = true;
  }
  EntBlockTreeN = static_cast<int32_t>(EntBlockTree.size());

  std::vector<bool> inUse = ReachableDefinitions(*this, first);
  for (int32_t i = 0; i < EntBlockDefN; ++i) {
    if (inUse[i]) {
      EntBlockDef[i].ref_flag = true;
      EntBlockDef[i].ref_no = EntBlockNum++;
    }
  }
}

int32_t TJwwData::ChangeBlockNo(uint32_t n) const {
  for (int32_t i = 0; i < EntBlockDefN; ++i) {
    const TEntJwwBlockDef& def = EntBlockDef[i];
    if (def.nNumber == n) return def.ref_flag ? def.ref_no : static_cast<int32_t>(n);
  }
  return 0;
}

int32_t TJwwData::GetBlkNo(const std::u16string& name) const {
  std::u16string_view base = BaseName(name);
  for (int32_t i = 0; i < EntBlockDefN; ++i) {
    if (HasBaseName(EntBlockDef[i].strName, base)) return i;
  }
  return -1;
}

std::u16string TJwwData::GetBlkName(const std::u16string& name) const {
  if (GetBlkNo(name) == -1) return name;
  const size_t baseLen = BaseNameLength(name);
  const std::u16string base = name.substr(0, baseLen);
  const std::u16string suffix = name.substr(baseLen);
  for (int64_t n = 1;; ++n) {
    std::u16string candidate = base + u"~" + util::IntToText(n);
    if (!AnyDefinitionHasBaseName(*this, candidate)) return candidate + suffix;
  }
}

int32_t TJwwData::GetBlkNumber(int32_t index) const {
  if (index < 0 || index >= EntBlockDefN) return -1;
  return static_cast<int32_t>(EntBlockDef[index].nNumber);
}

}  // namespace jww
