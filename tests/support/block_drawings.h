// SPDX-License-Identifier: GPL-3.0-or-later
// Drawings with block definitions and placements made record by record, for
// the tests of the block tree, the explosions and the walk. Unlike the
// builders these make any structure, cycles and dangling numbers included.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "jww/document.h"

namespace testjww {

using namespace jww;

inline TJwwData NewDrawing() {
  TJwwData doc;
  doc.EntLgrp.resize(kLayerGroups);
  for (auto& g : doc.EntLgrp) g.adScale = 1;
  doc.EntLay.resize(kLayers);
  return doc;
}

inline TEntJwwBlock Insertion(uint32_t number, double x = 0, double y = 0, double sx = 1,
                              double sy = 1, double rot = 0) {
  TEntJwwBlock b;
  b.nNumber = number;
  b.DPKijunTen_x = x;
  b.DPKijunTen_y = y;
  b.dBairitsuX = sx;
  b.dBairitsuY = sy;
  b.radKaitenKaku = rot;
  return b;
}

// Definitions are addressed by index: the vector may move when one is added.
inline int AddDefinition(TJwwData& doc, uint32_t number, std::u16string name) {
  TEntJwwBlockDef d;
  d.nNumber = number;
  d.strName = std::move(name);
  doc.EntBlockDef.push_back(std::move(d));
  doc.EntBlockDefN = static_cast<int32_t>(doc.EntBlockDef.size());
  return doc.EntBlockDefN - 1;
}

inline void AddMemberLine(TJwwData& doc, int def, double x1, double y1, double x2, double y2,
                          uint16_t layer = 0) {
  TEntJwwBlockDef& d = doc.EntBlockDef[def];
  TEntJwwLine l;
  l.start_x = x1;
  l.start_y = y1;
  l.end_x = x2;
  l.end_y = y2;
  l.att.nLayer = layer;
  l.att.nGLayer = 0;
  d.mLine.push_back(l);
  d.mNo.push_back({kLine, d.mLineN++});
  ++d.N;
}

inline void AddMemberInsertion(TJwwData& doc, int def, const TEntJwwBlock& b) {
  TEntJwwBlockDef& d = doc.EntBlockDef[def];
  d.mBlock.push_back(b);
  d.mNo.push_back({kBlock, d.mBlockN++});
  ++d.N;
}

inline void AddTopLevel(TJwwData& doc, const TEntJwwBlock& b) {
  doc.EntBlock.push_back(b);
  doc.EntNo.push_back({kBlock, doc.EntBlockN++});
  ++doc.Enthd.n1;
}

}  // namespace testjww
