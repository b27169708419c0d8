// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/diff_overlay.h"

#include <memory>
#include <unordered_map>

#include "render/output.h"

namespace render {
namespace {

struct RefHash {
  size_t operator()(const jww::EntityRef& r) const {
    return std::hash<const void*>()(r.record) ^
           (static_cast<size_t>(r.node) * 0x9E3779B97F4A7C15ull);
  }
};
using InkMap = std::unordered_map<jww::EntityRef, uint32_t, RefHash>;

// The comparison's name of the entity the walk shows: as stored, the members
// of a placement count as their top-level insertion.
jww::EntityRef RefOf(const jww::PlacedEntity& e, const jww::TJwwData& doc, bool placed) {
  if (!placed && !e.chain.empty()) {
    const int32_t top = e.chain.front();
    if (top >= 0 && top < doc.EntBlockN && static_cast<size_t>(top) < doc.EntBlock.size())
      return {&doc.EntBlock[top], -1};
  }
  const void* record =
      std::visit([](const auto* p) { return static_cast<const void*>(p); }, e.record);
  return {record, e.chain.empty() ? -1 : e.chain.back()};
}

RenderOptions::Ink InkOf(std::shared_ptr<const InkMap> map, const jww::TJwwData& doc, bool placed,
                         uint32_t otherwise) {
  return [map = std::move(map), &doc, placed, otherwise](const jww::PlacedEntity& e) {
    auto it = map->find(RefOf(e, doc, placed));
    return it == map->end() ? otherwise : it->second;
  };
}

}  // namespace

void MarkChanges(const jww::DrawingDiff& diff, const jww::TJwwData& before,
                 const jww::TJwwData& after, bool placed, RenderOptions& options,
                 const std::array<std::u16string, 4>& names) {
  auto inkBefore = std::make_shared<InkMap>(), inkAfter = std::make_shared<InkMap>();
  for (const jww::EntityDiff& d : diff.entities) {
    switch (d.change) {
      case jww::EntityChange::kRemoved:
        (*inkBefore)[d.before] = kRemovedInk;
        break;
      case jww::EntityChange::kAdded:
        (*inkAfter)[d.after] = kAddedInk;
        break;
      case jww::EntityChange::kChanged:
        (*inkAfter)[d.after] = kChangedInk;
        break;
      case jww::EntityChange::kSame:
        break;
    }
  }
  options.ink = InkOf(inkAfter, after, placed, kUnchangedInk);
  options.overlay = &before;
  options.overlayInk = InkOf(inkBefore, before, placed, RenderOptions::kNoInk);
  options.legend = {{kUnchangedInk, names[0]},
                    {kRemovedInk, names[1]},
                    {kAddedInk, names[2]},
                    {kChangedInk, names[3]}};
  const SheetBox box = PictureBox(after, options);
  options.legendAt = {box.minX, box.maxY};
}

}  // namespace render
