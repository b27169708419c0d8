// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/attr_store.h"

#include <cmath>
#include <utility>

namespace jww {

namespace {

// Narrows a 32-bit pattern to its shortest period. A half is only taken when
// it repeats and is not all ones: a solid stretch stays one long dash.
int PatternPeriod(uint32_t pattern) {
  int period = 32;
  uint32_t bits = pattern;
  for (int half = 16; half >= 2; half /= 2) {
    const uint32_t mask = (1u << half) - 1u;
    const uint32_t high = (bits >> half) & mask;
    const uint32_t low = bits & mask;
    if (high != low || low == mask) break;
    period = half;
    bits = low;
  }
  return period;
}

}  // namespace

std::vector<double> PatternToDashList(uint32_t pattern, double unit) {
  const int period = PatternPeriod(pattern);
  std::vector<double> dashes;
  int bit = period - 1;
  while (bit >= 0 && static_cast<int>(dashes.size()) < DrawAttrStore::kMaxSegments) {
    const bool on = (pattern >> bit) & 1u;
    int run = 0;
    while (bit >= 0 && (((pattern >> bit) & 1u) != 0) == on) {
      ++run;
      --bit;
    }
    dashes.push_back((on ? run : -run) * unit);
  }
  return dashes;
}

DrawAttrStore::DrawAttrStore() {
  for (int i = 0; i < kLayerSlots; ++i) {
    layers_[i].groupLabel = GroupLabelPrefix(i / 16);
    layers_[i].layerLabel = LayerLabelPrefix(i % 16);
  }
}

namespace {
char16_t HexDigit(int v) { return u"0123456789ABCDEF"[v & 0xF]; }
}  // namespace

std::u16string DrawAttrStore::GroupLabelPrefix(int group) {
  return std::u16string(u"[") + HexDigit(group) + u"] ";
}

std::u16string DrawAttrStore::LayerLabelPrefix(int layer) {
  return std::u16string(u"(") + HexDigit(layer) + u") ";
}

uint32_t DrawAttrStore::foreground() const {
  return background_ == Background::kDark ? 0xFFFFFFFFu : 0xFF000000u;
}

bool DrawAttrStore::IsPenNumber(int number) { return PenIndex(number) >= 0; }

int DrawAttrStore::PenIndex(int number) {
  if (number >= 1 && number <= 9) return number - 1;
  if (number >= 101 && number <= 356) return 9 + (number - 101);
  return -1;
}

bool DrawAttrStore::setPen(int number, uint32_t argb, double widthMm, double pointRadius) {
  const int i = PenIndex(number);
  if (i < 0) return false;
  pens_[i] = Pen{argb, widthMm, pointRadius};
  return true;
}

DrawAttrStore::Pen DrawAttrStore::pen(int number) const {
  const int i = PenIndex(number);
  return i < 0 ? Pen{} : pens_[i];
}

bool DrawAttrStore::setLineType(int slot, double width, std::vector<double> segments) {
  if (slot < 0 || slot >= kLineTypeSlots) return false;
  if (segments.size() > static_cast<size_t>(kMaxSegments)) segments.resize(kMaxSegments);
  double total = 0;
  for (double s : segments) total += std::fabs(s);
  lineTypes_[slot] = LineType{width, std::move(segments), total};
  return true;
}

void DrawAttrStore::clearLineType(int slot) {
  if (slot >= 0 && slot < kLineTypeSlots) lineTypes_[slot] = LineType{};
}

DrawAttrStore::LineType DrawAttrStore::lineType(int slot) const {
  return (slot >= 0 && slot < kLineTypeSlots) ? lineTypes_[slot] : LineType{};
}

bool DrawAttrStore::setLayer(int slot, int32_t state, double scale, std::u16string groupLabel,
                             std::u16string layerLabel) {
  if (slot < 0 || slot >= kLayerSlots) return false;
  if (state < kLayerNormal || state > kLayerHidden) state = kLayerNormal;
  if (!(std::isfinite(scale) && scale > 0)) scale = 1.0;
  layers_[slot] = Layer{state, scale, std::move(groupLabel), std::move(layerLabel)};
  return true;
}

DrawAttrStore::Layer DrawAttrStore::layer(int slot) const {
  return (slot >= 0 && slot < kLayerSlots) ? layers_[slot] : Layer{};
}

}  // namespace jww
