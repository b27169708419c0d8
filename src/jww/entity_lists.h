// One list of entities: the seven arrays with their counts and the draw order
// with its count, either the drawing's own or a block definition's members.
// The reader and the builders fill either kind of list through this one view.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "jww/document.h"

namespace jww {

struct EntityLists {
  std::vector<TEntJwwNo>& no;
  int32_t& noN;  // Enthd.n1 of the drawing, N of a definition
  std::vector<TEntJwwLine>& line;
  int32_t& lineN;
  std::vector<TEntJwwEnko>& enko;
  int32_t& enkoN;
  std::vector<TEntJwwTen>& ten;
  int32_t& tenN;
  std::vector<TEntJwwMoji>& moji;
  int32_t& mojiN;
  std::vector<TEntJwwSunpo>& sunpo;
  int32_t& sunpoN;
  std::vector<TEntJwwSolid>& solid;
  int32_t& solidN;
  std::vector<TEntJwwBlock>& block;
  int32_t& blockN;

  // Every entity array cut (or lengthened) to its count; the draw order is
  // left alone.
  void CutToCounts() {
    line.resize(Size(lineN));
    enko.resize(Size(enkoN));
    ten.resize(Size(tenN));
    moji.resize(Size(mojiN));
    sunpo.resize(Size(sunpoN));
    solid.resize(Size(solidN));
    block.resize(Size(blockN));
  }

  static size_t Size(int32_t count) { return count > 0 ? static_cast<size_t>(count) : 0; }
};

inline EntityLists DrawingLists(TJwwData& d) {
  return EntityLists{d.EntNo,    d.Enthd.n1,  d.EntLine,  d.EntLineN, d.EntEnko,  d.EntEnkoN,
                     d.EntTen,   d.EntTenN,   d.EntMoji,  d.EntMojiN, d.EntSunpo, d.EntSunpoN,
                     d.EntSolid, d.EntSolidN, d.EntBlock, d.EntBlockN};
}

inline EntityLists MemberLists(TEntJwwBlockDef& b) {
  return EntityLists{b.mNo,    b.N,       b.mLine,  b.mLineN, b.mEnko,  b.mEnkoN,
                     b.mTen,   b.mTenN,   b.mMoji,  b.mMojiN, b.mSunpo, b.mSunpoN,
                     b.mSolid, b.mSolidN, b.mBlock, b.mBlockN};
}

// The same lists read-only, each cut to its count (a count beyond its array
// is never trusted), for the code that walks a drawing without changing it.
struct EntitySpans {
  std::span<const TEntJwwNo> no;
  std::span<const TEntJwwLine> line;
  std::span<const TEntJwwEnko> enko;
  std::span<const TEntJwwTen> ten;
  std::span<const TEntJwwMoji> moji;
  std::span<const TEntJwwSunpo> sunpo;
  std::span<const TEntJwwSolid> solid;
  std::span<const TEntJwwBlock> block;

  // Whether the draw-order entry names a record of its kind (1 … 7).
  bool Has(TEntJwwNo e) const {
    if (e.EntNo < 0) return false;
    const size_t i = static_cast<size_t>(e.EntNo);
    switch (e.EntType) {
      case kLine:
        return i < line.size();
      case kEnko:
        return i < enko.size();
      case kTen:
        return i < ten.size();
      case kMoji:
        return i < moji.size();
      case kSunpo:
        return i < sunpo.size();
      case kSolid:
        return i < solid.size();
      case kBlock:
        return i < block.size();
      default:
        return false;
    }
  }

  template <typename T>
  static std::span<const T> Counted(const std::vector<T>& v, int32_t count) {
    return {v.data(), std::min(v.size(), EntityLists::Size(count))};
  }
};

inline EntitySpans SpansOf(const TJwwData& d) {
  using S = EntitySpans;
  return {S::Counted(d.EntNo, d.Enthd.n1),     S::Counted(d.EntLine, d.EntLineN),
          S::Counted(d.EntEnko, d.EntEnkoN),   S::Counted(d.EntTen, d.EntTenN),
          S::Counted(d.EntMoji, d.EntMojiN),   S::Counted(d.EntSunpo, d.EntSunpoN),
          S::Counted(d.EntSolid, d.EntSolidN), S::Counted(d.EntBlock, d.EntBlockN)};
}

inline EntitySpans SpansOf(const TEntJwwBlockDef& b) {
  using S = EntitySpans;
  return {S::Counted(b.mNo, b.N),          S::Counted(b.mLine, b.mLineN),
          S::Counted(b.mEnko, b.mEnkoN),   S::Counted(b.mTen, b.mTenN),
          S::Counted(b.mMoji, b.mMojiN),   S::Counted(b.mSunpo, b.mSunpoN),
          S::Counted(b.mSolid, b.mSolidN), S::Counted(b.mBlock, b.mBlockN)};
}

}  // namespace jww
