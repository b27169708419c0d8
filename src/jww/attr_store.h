// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing attribute store: the pens, line types and layer display states
// that a renderer draws with. The document hands its colour, line-type and
// layer tables over through FileColorSet, FileLtypeSet and SetGAttLayer; the
// store keeps the converted values (widths in millimetres, dash lists, display
// states) and lets the renderer and tests read them back.
//
// Everything is per store: the default scale and the high-resolution switch
// are settings of the store rather than program-wide values, so that two
// documents can be prepared on two threads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace jww {

// Dash list of a 32-bit on/off pattern (most significant bit first): the
// shortest repeating period is found, then each run of 1 bits gives
// +length·unit and each run of 0 bits -length·unit. 0xC3C3C3C3 has period 8
// and gives {+2u, -4u, +2u}.
std::vector<double> PatternToDashList(uint32_t pattern, double unit);

class DrawAttrStore {
 public:
  enum class OutputMode { kScreen = 1, kPrinter = 2 };
  // Dark: light strokes on a dark background; light: the reverse.
  enum class Background { kDark, kLight };
  enum LayerState { kLayerNormal = 1, kLayerShownOnly = 2, kLayerHidden = 3 };

  static constexpr int kMaxSegments = 32;
  static constexpr int kLineTypeSlots = 50;
  static constexpr int kLayerSlots = 256;

  struct Pen {
    uint32_t argb = 0xFF000000;  // opaque 0xFFRRGGBB
    double widthMm = 0;
    double pointRadius = 0;
    bool operator==(const Pen&) const = default;
  };

  struct LineType {
    double width = 0;              // random lines only; 0 elsewhere
    std::vector<double> segments;  // +drawn / -gap lengths, at most 32
    double total = 0;              // sum of the absolute segment lengths
    bool operator==(const LineType&) const = default;
  };

  struct Layer {
    int32_t state = kLayerNormal;
    double scale = 1.0;
    std::u16string groupLabel;
    std::u16string layerLabel;
  };

  DrawAttrStore();

  // ---- settings ----
  OutputMode colorMode() const { return colorMode_; }
  void setColorMode(OutputMode m) { colorMode_ = m; }
  OutputMode lineTypeMode() const { return lineTypeMode_; }
  void setLineTypeMode(OutputMode m) { lineTypeMode_ = m; }
  Background background() const { return background_; }
  void setBackground(Background b) { background_ = b; }
  // Foreground colour that goes with the background mode (opaque ARGB).
  uint32_t foreground() const;
  // Millimetres per pen-width unit when the drawing does not say otherwise.
  double defaultScale() const { return defaultScale_; }
  void setDefaultScale(double s) { defaultScale_ = s; }
  bool highResolution() const { return highResolution_; }
  void setHighResolution(bool on) { highResolution_ = on; }

  // ---- pens: numbers 1..9 and 101..356 ----
  static bool IsPenNumber(int number);
  // False (and nothing stored) for a number outside the pen ranges.
  bool setPen(int number, uint32_t argb, double widthMm, double pointRadius);
  // The pen's values; a default Pen for a number outside the ranges.
  Pen pen(int number) const;

  // ---- line types: slots 0..49 ----
  // Keeps at most 32 segments and computes their total. False for a bad slot.
  bool setLineType(int slot, double width, std::vector<double> segments);
  void clearLineType(int slot);
  LineType lineType(int slot) const;

  // ---- layers: slots 0..255 (group × 16 + layer) ----
  // A state outside 1..3 is stored as 1, a scale that is not a positive
  // finite number as 1.0.
  bool setLayer(int slot, int32_t state, double scale, std::u16string groupLabel,
                std::u16string layerLabel);
  Layer layer(int slot) const;
  // Label prefixes of an unnamed group and layer: "[A] " and "(3) ".
  static std::u16string GroupLabelPrefix(int group);
  static std::u16string LayerLabelPrefix(int layer);

 private:
  static int PenIndex(int number);  // -1 outside the ranges

  OutputMode colorMode_ = OutputMode::kScreen;
  OutputMode lineTypeMode_ = OutputMode::kScreen;
  Background background_ = Background::kLight;
  double defaultScale_ = 0.035;
  bool highResolution_ = false;
  std::array<Pen, 9 + 256> pens_{};
  std::array<LineType, kLineTypeSlots> lineTypes_{};
  std::array<Layer, kLayerSlots> layers_{};
};

}  // namespace jww
