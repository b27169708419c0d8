// One list of entities: the seven arrays with their counts and the draw order
// with its count, either the drawing's own or a block definition's members.
// The reader and the builders fill either kind of list through this one view.
#pragma once

#include <cstdint>
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

}  // namespace jww
