// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <system_error>
#include <vector>

#include "jww/archive.h"
#include "jww/read_findings.h"
#include "jww/records.h"
#include "util/geometry.h"

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

// A placement transform (the one transform type, util::Affine) with the
// layer rule of an exploded placement beside it.
struct TPlacement : util::Affine {
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
  // MakeBlockTree stopped at its node limit: some nested placements have no
  // node (the in-use marks are complete all the same).
  bool EntBlockTreeCut = false;

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
  // As FileCheck; when the file cannot be opened or read, `cause` is the
  // system's reason (cleared otherwise, also for a file that is no drawing).
  bool FileCheck(const std::string& FName, std::error_code& cause) const;
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
  // The system's reason when the last FileIn, FilePrevIn or FileHeaderIn
  // could not open or read the file ("Permission denied", "Is a directory");
  // empty when the bytes were read (also when they are no valid drawing).
  std::error_code LastReadCause;
  // What the last read repaired or noticed (read_findings.h); emptied by
  // DataInit. Kept after a failed read: its last finding says where it broke.
  ReadFindings ReadLog;

  // ---- writer (writer.cpp) ----
  // Writes into a temporary file beside fileName and moves it into place, so
  // that a half-written file never appears under the output name. FileOut
  // replaces an existing file; FileOutNew fails instead (LastWriteError
  // says a file of that name exists), so that concurrent batches can never overwrite each other.
  bool FileOut(const std::string& fileName, int32_t version);
  bool FileOutNew(const std::string& fileName, int32_t version);
  void SetFileOutOption(int32_t n);
  // Number of objects the drawing's list holds when written in `version`.
  int32_t WrittenObjectCount(int32_t version) const;
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
  // The entities BlockExplode would append, counted through the definitions
  // without making the tree or any copy (saturating; a definition placed
  // inside itself counts its own members once), so that an explosion too
  // large to make can be refused before it starts.
  int64_t BlockExplodeCopies() const;
  void GetMinMaxZahyo();  // extents.cpp: bounding box into myMinWx … myMaxWy

  // ---- default tables (defaults.cpp) ----
  void DataDefaultSet();
  void FileColorSet(DrawAttrStore& store) const;
  void FileLtypeSet(DrawAttrStore& store) const;
  void SetGAttLayer(DrawAttrStore& store) const;

  // ---- builders (builders.cpp): declarations added below ----
  // BEGIN builders
  //
  // Building a drawing in memory, entity by entity. Every entity builder takes
  // the attribute values first: cn group, lg layer group, ly layer, co colour,
  // tp line type (or the kind's own code, see below), wd width × 100 and fl
  // option bits, which each kind translates into its own flag word. Angles are
  // in degrees. Out-of-range attributes are repaired, never rejected: a layer
  // outside 0..15 becomes 0, a colour outside 1..10 and 101..356 becomes
  // DefaultPenColor, a line type outside 1..9, 11..19 and 31..62 becomes
  // DefaultPenStyle. A builder that cannot grow an array or that names a block
  // definition that does not exist adds nothing and returns false.
  //
  // Each AddBlk… form takes the index of a block definition first and appends
  // to that definition's members instead of the drawing's own lists.
  //
  // Usage: DataDefaultSet, AddEntPre, the additions, AddBlkDefPost for every
  // definition filled, AddEntPost (which rebuilds the block tree), FileOut.

  // One optional part of an SXF-mode dimension. `ex` 0 means absent. For the
  // arrow points `ex` gives the direction: 1 along the dimension line (from
  // its first end towards its second), 2 the opposite way. `tp` is the line
  // type of an auxiliary line and the code of a point (arrows -7..11,
  // reference points -7..0, else 0); fl 8 makes a point's code 0.
  struct TSunpoPart {
    int32_t ex = 0;
    int32_t co = 1, tp = 1, wd = 0, fl = 0;
    double x1 = 0, y1 = 0;  // auxiliary line start, or reference point
    double x2 = 0, y2 = 0;  // auxiliary line end
    double pb = 1.0;        // point scale
  };
  struct TSunpoSxfParts {
    TSunpoPart ho1, ho2;  // auxiliary lines
    TSunpoPart te1, te2;  // arrow points at the first and second end
    TSunpoPart kt1, kt2;  // reference points (measured points)
  };

  // Pre-sizes every list for a series of additions; AddEntPost trims them to
  // their counts and rebuilds the block tree (false when trimming failed).
  bool AddEntPre();
  bool AddEntPost();

  bool AddEntLine(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                  int32_t fl, double px1, double py1, double px2, double py2);
  // pr radius, ph flattening, psa start, pda swept, pka tilt; fl 8 = full circle.
  bool AddEntArc(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd, int32_t fl,
                 double px, double py, double pr, double ph, double psa, double pda, double pka);
  // tp is the point code (-7..11), pa rotation, pb scale; fl 8 = temporary point.
  bool AddEntTen(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd, int32_t fl,
                 double px, double py, double pa, double pb);
  // Text from its start to its end point. ms: text type (ms mod 10000 in 1..10
  // takes size, spacing and colour from that text type); tp 1..9.
  bool AddEntMoji(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                  int32_t fl, int32_t ms, double px1, double py1, double px2, double py2, double pw,
                  double ph, double pd, double pa, const std::u16string& pf,
                  const std::u16string& ps);
  // Text placed by a reference point; tp is the base-point code 1..9 (1 lower
  // left … 9 upper right, row by row). fl 4 = vertical text.
  bool AddEntMojiAt(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                    int32_t fl, int32_t ms, double px, double py, double pw, double ph, double pd,
                    double pa, const std::u16string& pf, const std::u16string& ps);

  // Dimensions: the dimension line (px1, py1)-(px2, py2) with attributes int32_t cn, int32_t lg,
  // int32_t ly, int32_t co, int32_t tp, int32_t wd, int32_t fl, its value text with colour co2,
  // style (or base-point code) tp2, width wd2, flags fl2 and text type ms. Text from its start
  // (px3, py3) to its end (px4, py4); no SXF parts.
  bool AddEntSunpo(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                   int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2, int32_t ms,
                   double px1, double py1, double px2, double py2, double px3, double py3,
                   double px4, double py4, double pw, double ph, double pd, double pa,
                   const std::u16string& pf, const std::u16string& ps);
  // Text by reference point (px, py) and base-point code tp2; no SXF parts.
  bool AddEntSunpoAt(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                     int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2, int32_t ms,
                     double px1, double py1, double px2, double py2, double px, double py,
                     double pw, double ph, double pd, double pa, const std::u16string& pf,
                     const std::u16string& ps);
  // As AddEntSunpo, with SXF parts.
  bool AddEntSunpoSxf(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                      int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2, int32_t ms,
                      double px1, double py1, double px2, double py2, double px3, double py3,
                      double px4, double py4, double pw, double ph, double pd, double pa,
                      const std::u16string& pf, const std::u16string& ps,
                      const TSunpoSxfParts& sxf);
  // As AddEntSunpoAt, with SXF parts.
  bool AddEntSunpoSxfAt(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                        int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2, int32_t ms,
                        double px1, double py1, double px2, double py2, double px, double py,
                        double pw, double ph, double pd, double pa, const std::u16string& pf,
                        const std::u16string& ps, const TSunpoSxfParts& sxf);
  // As AddEntSunpoSxfAt, but the auxiliary lines run from each reference point
  // towards its end of the dimension line: from d1 after the reference point
  // to d2 beyond the end (the positions given in sxf.ho1 and sxf.ho2 are
  // ignored).
  bool AddEntSunpoSxfAtDist(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                            int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2,
                            int32_t ms, double px1, double py1, double px2, double py2, double px,
                            double py, double pw, double ph, double pd, double pa,
                            const std::u16string& pf, const std::u16string& ps,
                            const TSunpoSxfParts& sxf, double d1, double d2);

  // Solids. fc is an explicit RGB colour, kept when co is 10. A tp above 100
  // (the arc solid codes) is kept as it is.
  bool AddEntSolid(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                   int32_t fl, int32_t fc, double px1, double py1, double px2, double py2,
                   double px3, double py3, double px4, double py4);
  // Corners 2, 3 and 4 are all the second point.
  bool AddEntSolid(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                   int32_t fl, int32_t fc, double px1, double py1, double px2, double py2);
  // Corner 4 is corner 1.
  bool AddEntSolid(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                   int32_t fl, int32_t fc, double px1, double py1, double px2, double py2,
                   double px3, double py3);
  // Filled ellipse or circle (no line type): centre, radius pr, flattening ph, tilt pka.
  bool AddEntSolidA(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t wd, int32_t fl,
                    int32_t fc, double px, double py, double pr, double ph, double pka);
  // Filled elliptic sector from psa over pda.
  bool AddEntSolidA(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t wd, int32_t fl,
                    int32_t fc, double px, double py, double pr, double ph, double pka, double psa,
                    double pda);
  // Filled arc figure; tp chooses it: 1 sector, 2 kind 5, 3 kind -1, else a
  // whole ellipse.
  bool AddEntSolidC(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                    int32_t fl, int32_t fc, double px, double py, double pr, double ph, double pka,
                    double psa, double pda);
  // Filled ring segment between the inner radius pri and pr; tp 2 gives style 106.
  bool AddEntSolidD(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                    int32_t fl, int32_t fc, double px, double py, double pr, double pri, double ph,
                    double pka, double psa, double pda);
  // Placement of block definition index bn at (px, py), scales pbx, pby,
  // rotation pa; fl 16 sets 0x40 in the line type.
  bool AddEntBlock(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                   int32_t fl, int32_t bn, double px, double py, double pbx, double pby, double pa);

  // A new, empty block definition named ps (made unique). Names without the
  // SXF marker get "@@SfigorgFlag@@" and bf (1..4, else 4) appended.
  bool AddBlkDef(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd, int32_t fl,
                 int32_t bf, const std::u16string& ps);
  // Trims definition bdn's member lists to their counts.
  void AddBlkDefPost(int32_t bdn);

  bool AddBlkLine(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                  int32_t wd, int32_t fl, double px1, double py1, double px2, double py2);
  bool AddBlkArc(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                 int32_t wd, int32_t fl, double px, double py, double pr, double ph, double psa,
                 double pda, double pka);
  bool AddBlkTen(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                 int32_t wd, int32_t fl, double px, double py, double pa, double pb);
  bool AddBlkMoji(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                  int32_t wd, int32_t fl, int32_t ms, double px1, double py1, double px2,
                  double py2, double pw, double ph, double pd, double pa, const std::u16string& pf,
                  const std::u16string& ps);
  bool AddBlkMojiAt(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                    int32_t wd, int32_t fl, int32_t ms, double px, double py, double pw, double ph,
                    double pd, double pa, const std::u16string& pf, const std::u16string& ps);
  bool AddBlkSunpo(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                   int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2,
                   int32_t ms, double px1, double py1, double px2, double py2, double px3,
                   double py3, double px4, double py4, double pw, double ph, double pd, double pa,
                   const std::u16string& pf, const std::u16string& ps);
  bool AddBlkSunpoAt(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                     int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2,
                     int32_t ms, double px1, double py1, double px2, double py2, double px,
                     double py, double pw, double ph, double pd, double pa,
                     const std::u16string& pf, const std::u16string& ps);
  bool AddBlkSunpoSxf(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                      int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2,
                      int32_t ms, double px1, double py1, double px2, double py2, double px3,
                      double py3, double px4, double py4, double pw, double ph, double pd,
                      double pa, const std::u16string& pf, const std::u16string& ps,
                      const TSunpoSxfParts& sxf);
  bool AddBlkSunpoSxfAt(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                        int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2,
                        int32_t ms, double px1, double py1, double px2, double py2, double px,
                        double py, double pw, double ph, double pd, double pa,
                        const std::u16string& pf, const std::u16string& ps,
                        const TSunpoSxfParts& sxf);
  bool AddBlkSunpoSxfAtDist(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                            int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2,
                            int32_t fl2, int32_t ms, double px1, double py1, double px2, double py2,
                            double px, double py, double pw, double ph, double pd, double pa,
                            const std::u16string& pf, const std::u16string& ps,
                            const TSunpoSxfParts& sxf, double d1, double d2);
  bool AddBlkSolid(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                   int32_t wd, int32_t fl, int32_t fc, double px1, double py1, double px2,
                   double py2, double px3, double py3, double px4, double py4);
  bool AddBlkSolid(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                   int32_t wd, int32_t fl, int32_t fc, double px1, double py1, double px2,
                   double py2);
  bool AddBlkSolid(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                   int32_t wd, int32_t fl, int32_t fc, double px1, double py1, double px2,
                   double py2, double px3, double py3);
  bool AddBlkSolidA(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t wd,
                    int32_t fl, int32_t fc, double px, double py, double pr, double ph, double pka);
  bool AddBlkSolidA(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t wd,
                    int32_t fl, int32_t fc, double px, double py, double pr, double ph, double pka,
                    double psa, double pda);
  bool AddBlkSolidC(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                    int32_t wd, int32_t fl, int32_t fc, double px, double py, double pr, double ph,
                    double pka, double psa, double pda);
  bool AddBlkSolidD(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                    int32_t wd, int32_t fl, int32_t fc, double px, double py, double pr, double pri,
                    double ph, double pka, double psa, double pda);
  // Also false when definition bn already contains definition bdn (directly
  // or further down): the placement would make the definitions circular.
  bool AddBlkBlock(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                   int32_t wd, int32_t fl, int32_t bn, double px, double py, double pbx, double pby,
                   double pa);
  // END builders
};

}  // namespace jww
