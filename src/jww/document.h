// TJwwData: one Jw_cad drawing in memory.
//
// The document owns the header, the nine tables, one array per entity kind
// with its count (the count is authoritative: arrays may be longer while they
// grow), the draw order, the block definitions and tree, and the list of
// embedded images. Operations return bool and never throw.
//
// Several files implement its operations, one concern each:
//   document.cpp     life cycle (DataInit, DataFree)
//   header.cpp       FileCheck, FileHeaderIn, ReadHeader, WriteHeader
//   reader.cpp       FileIn, FilePrevIn
//   writer.cpp       FileOut, SetFileOutOption
//   images.cpp       BindImage*
//   block_tree.cpp   MakeBlockTree, ChangeBlockNo, GetBlk*
//   transform.cpp    BlockExplodeLine … BlockExplodeSolid, MoveEntALL, ScaleEntALL
//   explode.cpp      BlockExplode (whole drawing through the tree)
//   defaults.cpp     DataDefaultSet, FileColorSet, FileLtypeSet, SetGAttLayer
//   builders.cpp     AddEnt*, AddBlk*
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/archive.h"
#include "jww/records.h"

namespace jww {

class DrawAttrStore;  // attr_store.h

// Values that texts may quote through macros (file name, drawing time, memo
// lines, print scale). Set by FileIn, kept per document.
struct TextMacroValues {
  std::string fileName;
  std::u16string drawTime;
  std::u16string memo1, memo2, memoAll;
  double prtBairitsu = 0;
};

// A placement transform with the layer rule of an exploded placement:
// a member point (u, v) lands at (m11·u + m12·v + tx, m21·u + m22·v + ty).
struct TPlacement {
  double tx = 0, ty = 0;
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1;
  bool keepLayer = false;
  uint16_t gLayer = 0;
  uint16_t layer = 0;
};

// Array growth in steps: when a count reaches a multiple of `step` (0
// included) the array is lengthened to the next multiple plus `step`.
template <typename T>
void GrowForAppend(std::vector<T>& a, int32_t count, int32_t step = 1000) {
  if (static_cast<size_t>(count) >= a.size() || count % step == 0) {
    size_t want = (static_cast<size_t>(count) / step) * step + step;
    if (want > a.size()) a.resize(want);
  }
}

class TJwwData {
 public:
  TJwwData();
  ~TJwwData();
  TJwwData(const TJwwData&) = default;
  TJwwData& operator=(const TJwwData&) = default;

  // ---- data ----
  TEntJwwHeader Enthd;
  std::vector<TEntJwwLayerGroup> EntLgrp;
  std::vector<TEntJwwLayer> EntLay;
  std::vector<TEntJwwColorNo> EntCol;
  std::vector<TEntJwwLineTypeNo> EntLtp1;
  std::vector<TEntJwwRandomLineNo> EntLtp2;
  std::vector<TEntJwwLineTypeNo> EntLtp3;
  std::vector<TEntJwwColorExNo> EntColS;
  std::vector<TEntJwwLineTypeExNo> EntLtpS;
  std::vector<TEntJwwMojiType> EntMoj;

  std::vector<TEntJwwNo> EntNo;
  std::vector<TEntJwwLine> EntLine;
  int32_t EntLineN = 0;
  std::vector<TEntJwwEnko> EntEnko;
  int32_t EntEnkoN = 0;
  std::vector<TEntJwwTen> EntTen;
  int32_t EntTenN = 0;
  std::vector<TEntJwwMoji> EntMoji;
  int32_t EntMojiN = 0;
  std::vector<TEntJwwSunpo> EntSunpo;
  int32_t EntSunpoN = 0;
  std::vector<TEntJwwSolid> EntSolid;
  int32_t EntSolidN = 0;
  std::vector<TEntJwwBlock> EntBlock;
  int32_t EntBlockN = 0;
  std::vector<TEntJwwBlockDef> EntBlockDef;
  int32_t EntBlockDefN = 0;
  std::vector<TEntJwwBlockTree> EntBlockTree;
  int32_t EntBlockTreeN = 0;
  int32_t EntBlockNum = 0;

  std::string BindImageFolder;  // ends with a path separator
  std::vector<TBindImageType> BindImage;
  int32_t BindImageN = 0;
  bool BindImageExp = false;
  bool BindImageExr = false;

  int32_t FileOutOpt = 0;
  int32_t FontNameN = 0;
  std::vector<std::u16string> FontNames;
  bool MojiEncode = false;
  double myMinWx = 0, myMinWy = 0, myMaxWx = 0, myMaxWy = 0;

  TextMacroValues Macro;

  // ---- life cycle (document.cpp) ----
  void DataInit();
  void DataFree();

  // ---- file check and header (header.cpp) ----
  bool FileCheck(const std::string& FName) const;
  bool FileHeaderIn(const std::string& FName);
  // Reads signature, version and header from the start of `in`.
  bool ReadHeader(ByteReader& in);
  // Writes the header (signature to last row) in format `version`, with the
  // writer's value rules. Returns false when a string cannot be written.
  bool WriteHeader(ByteWriter& out, int32_t version);

  // ---- reader (reader.cpp) ----
  bool FileIn(const std::string& FName);
  bool FilePrevIn(const std::string& FName, int32_t ZMaxN);
  // Same as FileIn on bytes already in memory (tests, fuzzing).
  bool ReadFromBuffer(std::span<const uint8_t> data, const std::string& FName = {});
  // Why the last read failed ("JWW-Header Error", "JWW-Version Error",
  // "File I/O Error"), empty after success. For tests and diagnostics only:
  // these texts are not shown to the user.
  std::string LastReadError;

  // ---- writer (writer.cpp) ----
  // Writes into a temporary file beside fileName and moves it into place, so
  // that a half-written file never appears under the output name. FileOut
  // replaces an existing file; FileOutNew fails instead (LastWriteError
  // "exists"), so that concurrent batches can never overwrite each other.
  bool FileOut(const std::string& fileName, int32_t version);
  bool FileOutNew(const std::string& fileName, int32_t version);
  void SetFileOutOption(int32_t n);
  // Writes the whole file into `out` (no file system); false on failure.
  bool WriteToBuffer(ByteWriter& out, int32_t version);
  // Text of the last FileOut failure, for the front ends.
  std::string LastWriteError;

  // ---- embedded images (images.cpp) ----
  void BindImageInit();
  void BindImageExplode();
  void BindImagePack();
  void BindImageCopy(const std::string& dst);
  void BindImageDeleteFile();
  void BindImageDeleteGzFile();
  void BindImageDeleteNonGzFile();

  // ---- block tree (block_tree.cpp) ----
  void MakeBlockTree();
  int32_t ChangeBlockNo(uint32_t n) const;
  int32_t GetBlkNo(const std::u16string& name) const;
  std::u16string GetBlkName(const std::u16string& name) const;
  int32_t GetBlkNumber(int32_t index) const;

  // ---- entity transforms (transform.cpp) ----
  bool BlockExplodeLine(const TEntJwwLine& m, const TPlacement& t);
  bool BlockExplodeEnko(const TEntJwwEnko& m, const TPlacement& t);
  bool BlockExplodeTen(const TEntJwwTen& m, const TPlacement& t);
  bool BlockExplodeMoji(const TEntJwwMoji& m, const TPlacement& t);
  bool BlockExplodeSunpo(const TEntJwwSunpo& m, const TPlacement& t);
  bool BlockExplodeSolid(const TEntJwwSolid& m, const TPlacement& t);
  void MoveEntALL(double dx, double dy);
  void ScaleEntALL(double cx, double cy, double sc);

  // ---- whole-drawing explosion (explode.cpp) ----
  bool BlockExplode();

  // ---- default tables (defaults.cpp) ----
  void DataDefaultSet();
  void FileColorSet(DrawAttrStore& store) const;
  void FileLtypeSet(DrawAttrStore& store) const;
  void SetGAttLayer(DrawAttrStore& store) const;

  // ---- builders (builders.cpp): declarations added below ----
  // BEGIN builders
  // END builders
};

}  // namespace jww
