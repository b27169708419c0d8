// SPDX-License-Identifier: GPL-3.0-or-later
// Entity stream reader: the entity list, the block definitions with their
// members and the embedded images that follow the header, for every format
// version from 220 to 700. The whole file is parsed from memory.
//
// Everything a file declares is untrusted: counts are capped by what the
// remaining bytes could hold, class references must name a declared class,
// and image names must be plain file names before anything is written.
// A drawing is read only when it is whole: a read past the end anywhere, or
// bytes left after the last list, fail the read (a damaged count shows as
// one or the other), and so does a value no drawing holds (the bounds of
// read_findings.h), checked field by field as the bodies are read. What was
// repaired or noticed goes into ReadLog.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <unordered_map>

#include "jww/block_numbers.h"
#include "jww/document.h"
#include "jww/entity_lists.h"
#include "jww/file_bytes.h"
#include "jww/image_name.h"
#include "util/encoding.h"

namespace jww {
namespace {

constexpr char kIoError[] = "File I/O Error";

// Smallest number of bytes one object of a list occupies: its tag.
constexpr size_t kMinObjectBytes = 2;
// A block definition: tag, fixed part of version 350, name length, count.
constexpr size_t kMinBlockDefBytes = 2 + 25 + 1 + 2;

// The fixed part of a body, fetched with one bounds check. Where the data
// ends, the missing bytes read as zero and the reader goes short; the caller
// then drops the whole object.
class FixedPart {
 public:
  static constexpr size_t kMaxSize = 160;

  FixedPart(ByteReader& in, size_t n) : start_(in.pos()) {
    if (in.remaining() >= n) {
      p_ = in.take(n).data();
    } else {
      in.read(buf_, n);
      p_ = buf_;
    }
  }
  FixedPart(const FixedPart&) = delete;
  FixedPart& operator=(const FixedPart&) = delete;

  template <typename T>
  T get() {
    T v;
    std::memcpy(&v, p_ + off_, sizeof v);
    off_ += sizeof v;
    return v;
  }
  double f64() { return get<double>(); }
  uint32_t u32() { return get<uint32_t>(); }
  // The file offset of the next field.
  size_t offset() const { return start_ + off_; }

 private:
  uint8_t buf_[kMaxSize];
  const uint8_t* p_ = nullptr;
  size_t start_ = 0;
  size_t off_ = 0;
};

// Sizes of the fixed parts; the attribute block lacks nPenWidth up to 350.
struct BodySizes {
  explicit BodySizes(int32_t ver) : attr(ver >= 351 ? 15 : 13) {}
  size_t attr;
  size_t line() const { return attr + 32; }
  size_t enko() const { return attr + 60; }
  size_t ten() const { return attr + 20; }
  size_t moji() const { return attr + 68; }
  size_t solid() const { return attr + 64; }
  size_t block() const { return attr + 44; }
  size_t blockDef() const { return attr + 12; }
  size_t tenExtras() const { return 20; }
};

TEntJwwAttr GetAttr(FixedPart& f, bool withWidth) {
  TEntJwwAttr a;
  a.lGroup = f.u32();
  a.nPenStyle = f.get<uint8_t>();
  a.nPenColor = f.get<uint16_t>();
  if (withWidth) a.nPenWidth = f.get<uint16_t>();
  a.nLayer = f.get<uint16_t>();
  a.nGLayer = f.get<uint16_t>();
  a.sFlg = f.get<uint16_t>();
  return a;
}

void RepairMoji(TEntJwwMoji& m) {
  if (!IsFiniteDouble(m.dSizeX)) m.dSizeX = 3.0;
  if (!IsFiniteDouble(m.dSizeY)) m.dSizeY = 3.0;
  if (!IsFiniteDouble(m.dKankaku)) m.dKankaku = 0.0;
}

// Number of objects per entity kind (index 1..7).
using KindCounts = std::array<uint32_t, kBlock + 1>;

template <typename T>
void ReserveMore(std::vector<T>& a, int32_t count, uint32_t more) {
  const size_t want = static_cast<size_t>(count) + more;
  if (want > a.capacity()) a.reserve(want);
}

// A list being read, with the next free place of its draw order.
struct ReadLists : EntityLists {
  size_t nextNo = 0;

  // Room for `counts` more entities per kind.
  void Reserve(const KindCounts& counts) {
    ReserveMore(line, lineN, counts[kLine]);
    ReserveMore(enko, enkoN, counts[kEnko]);
    ReserveMore(ten, tenN, counts[kTen]);
    ReserveMore(moji, mojiN, counts[kMoji]);
    ReserveMore(sunpo, sunpoN, counts[kSunpo]);
    ReserveMore(solid, solidN, counts[kSolid]);
    ReserveMore(block, blockN, counts[kBlock]);
  }
};

// Arrays are cut to their counts however a list ends (also by an exception).
class CutOnExit {
 public:
  explicit CutOnExit(ReadLists& l) : l_(l) {}
  ~CutOnExit() { l_.CutToCounts(); }
  CutOnExit(const CutOnExit&) = delete;
  CutOnExit& operator=(const CutOnExit&) = delete;

 private:
  ReadLists& l_;
};

int32_t KindOfClassName(const std::string& name) {
  static constexpr const char* kNames[] = {"CDataSen",    "CDataEnko",  "CDataTen",  "CDataMoji",
                                           "CDataSunpou", "CDataSolid", "CDataBlock"};
  for (int32_t k = 0; k < 7; ++k)
    if (name == kNames[k]) return k + 1;
  return kNone;
}

// The class map of one file: the index of each entity kind's class (0 while
// unseen) and of the block definitions' class.
class ClassMap {
 public:
  void DeclareKind(int32_t kind, uint32_t index) { kindIndex_[kind] = index; }
  void DeclareList(uint32_t index) { listIndex_ = index; }
  // The entity kind whose class has this index, kNone for no entity class.
  int32_t KindOf(uint32_t index) const {
    if (index == 0) return kNone;
    for (int32_t k = kLine; k <= kBlock; ++k)
      if (kindIndex_[k] == index) return k;
    return kNone;
  }
  bool IsDeclared(uint32_t index) const {
    return index != 0 && (KindOf(index) != kNone || listIndex_ == index);
  }

 private:
  uint32_t kindIndex_[kBlock + 1] = {};
  uint32_t listIndex_ = 0;
};

enum class ListEnd { kComplete, kStopped, kFailed };

inline bool AttrInRange(const TEntJwwAttr& a) {
  return (a.nLayer <= limits::kMaxLayer) & (a.nGLayer <= limits::kMaxLayer) &
         (a.nPenColor <= limits::kMaxPenColor) & (a.nPenWidth <= limits::kMaxWidth);
}

const char* KindName(int32_t kind) {
  static constexpr const char* kNames[] = {"object", "line",      "arc",   "point",
                                           "text",   "dimension", "solid", "block insertion"};
  return kind >= kLine && kind <= kBlock ? kNames[kind] : kNames[0];
}

// Something found in many entities is reported once, at its first place.
struct Tally {
  int64_t count = 0;
  ReadLocation first;
  void Note(const ReadLocation& where) {
    if (count++ == 0) first = where;
  }
};

class EntityStreamReader {
 public:
  EntityStreamReader(TJwwData& doc, ByteReader& in, int64_t objectLimit)
      : doc_(doc),
        in_(in),
        ver_(doc.Enthd.jwVer),
        wide_(ver_ >= 351),
        size_(ver_),
        limit_(objectLimit) {}

  // Whole read after the header. False when the file ended early, held
  // something that cannot be read or, for a whole read, did not end where
  // its last list ends.
  bool ReadAll(bool withImages) {
    const bool ok = ReadSections(withImages);
    ReportTallies();
    return ok;
  }

 private:
  bool ReadSections(bool withImages) {
    ListEnd end = ReadEntityList();
    if (end == ListEnd::kFailed) return false;
    if (end == ListEnd::kStopped || LimitReached()) return !capped_;
    end = ReadBlockDefList();
    if (end == ListEnd::kFailed) return false;
    if (end == ListEnd::kStopped) return !capped_;
    bool sectionRead = true;
    if (withImages && ver_ >= 700) {
      if (!ReadImages(sectionRead)) return false;
    }
    if (capped_) return Fail();
    // A preview reads no images, and a document told to leave the image
    // section alone cannot know where it ends.
    if (withImages && sectionRead && !in_.atEnd()) return BytesAfterEnd();
    return true;
  }

  bool Fail() {
    doc_.LastReadError = kIoError;
    return false;
  }
  ListEnd FailList() {
    Fail();
    return ListEnd::kFailed;
  }

  ReadLocation Here(int64_t index = -1) const {
    return ReadLocation{section_, definition_, index, static_cast<int64_t>(in_.pos())};
  }
  void Note(std::string_view code, const ReadLocation& where, std::string detail,
            int64_t amount = 0) {
    doc_.ReadLog.Add(code, where, std::move(detail), amount);
  }
  // The file ended before `what`; the read fails.
  bool Truncated(const ReadLocation& where, const std::string& what) {
    Note(finding::kTruncated, where, "the file ends inside " + what);
    return Fail();
  }
  ListEnd TruncatedList(const ReadLocation& where, const std::string& what) {
    Truncated(where, what);
    return ListEnd::kFailed;
  }
  bool BytesAfterEnd() {
    const int64_t left = static_cast<int64_t>(in_.remaining());
    Note(finding::kBytesAfterEnd, ReadLocation{ReadSection::kFile, -1, -1, Here().offset},
         std::to_string(left) + " bytes after the end of the drawing", left);
    return Fail();
  }

  // A declared count is believed only as far as the remaining bytes could
  // hold that many objects; a file claiming more is a short file.
  uint32_t CapCount(uint32_t declared, size_t minBytes, const ReadLocation& where) {
    size_t room = in_.remaining() / minBytes;
    size_t cap = std::min<size_t>(room, std::numeric_limits<int32_t>::max());
    if (declared <= cap) return declared;
    if (!capped_)
      Note(finding::kTruncated, where,
           "a count of " + std::to_string(declared) + " objects, more than the file can hold",
           declared);
    capped_ = true;
    return static_cast<uint32_t>(cap);
  }

  // The preview's object limit, shared by the entity list and all members.
  bool LimitReached() const { return limit_ >= 0 && counted_ >= limit_; }
  // How many of the next `n` objects the limit lets through.
  uint32_t WithinLimit(uint32_t n) const {
    if (limit_ < 0) return n;
    return static_cast<uint32_t>(std::clamp<int64_t>(limit_ - counted_, 0, n));
  }
  bool TakeFromLimit() {
    if (LimitReached()) return false;
    ++counted_;
    return true;
  }

  ListEnd ReadEntityList() {
    section_ = ReadSection::kEntities;
    definition_ = -1;
    const ReadLocation at = Here();
    bool ok = false;
    uint32_t declared = ReadCount(in_, ok);
    if (!ok) return TruncatedList(at, "the entity count");
    uint32_t n = CapCount(declared, kMinObjectBytes, at);
    doc_.Enthd.n1 = static_cast<int32_t>(n);
    doc_.Enthd.n2 = 0;
    doc_.EntBlockDefN = 0;
    doc_.EntNo.assign(n, TEntJwwNo{});
    ReadLists lists{DrawingLists(doc_)};
    return ReadObjects(lists, n);
  }

  ListEnd ReadObjects(ReadLists& lists, uint32_t n) {
    CutOnExit cut(lists);
    lists.Reserve(CountKinds(WithinLimit(n)));
    for (uint32_t i = 0; i < n; ++i) {
      if (!TakeFromLimit()) return ListEnd::kStopped;
      const ReadLocation at = Here(i);
      int32_t kind = ReadEntityTag(at);
      if (kind == kNone) return ListEnd::kFailed;
      if (!ReadEntity(kind, lists, at)) return ListEnd::kFailed;
      ++counter_;
    }
    return ListEnd::kComplete;
  }

  // A dry run over the next `n` objects that counts them by kind, so that
  // every array is sized once: on large drawings the page faults and copies
  // of arrays that grow step by step cost far more than the parsing itself.
  // It stops at anything unusual; the counts are only a size hint.
  KindCounts CountKinds(uint32_t n) const {
    KindCounts counts{};
    ByteReader in = in_;
    ClassMap classes = classes_;
    uint32_t counter = counter_;
    for (uint32_t i = 0; i < n; ++i) {
      ObjectTag tag = ReadObjectTag(in);
      if (!tag.complete) break;
      int32_t kind = kNone;
      if (tag.newClass) {
        kind = KindOfClassName(tag.className);
        if (kind != kNone) classes.DeclareKind(kind, counter++);
      } else {
        kind = classes.KindOf(tag.classIndex);
      }
      if (kind == kNone || !SkipBody(in, kind)) break;
      ++counts[static_cast<size_t>(kind)];
      ++counter;
    }
    return counts;
  }

  static bool SkipBytes(ByteReader& in, size_t n) { return in.skip(n) == n; }

  static bool SkipString(ByteReader& in) {
    uint8_t b = 0;
    if (in.read(&b, 1) < 1) return false;
    size_t n = b;
    if (b == 0xFF) {
      uint16_t w = 0;
      if (in.read(&w, 2) < 2) return false;
      n = w;
      if (w == 0xFFFE) {
        uint8_t c = 0;
        if (in.read(&c, 1) < 1) return false;
        n = c;
        if (c == 0xFF) {
          uint16_t m = 0;
          if (in.read(&m, 2) < 2) return false;
          n = m;
        }
        n *= 2;
      }
    }
    return SkipBytes(in, n);
  }

  // Passes a fixed part that must be all there, noting the style and colour
  // of its attribute block.
  static bool SkipFixed(ByteReader& in, size_t size, uint8_t& style, uint16_t& color) {
    std::span<const uint8_t> p = in.take(size);
    if (p.size() < size) return false;
    style = p[4];
    color = static_cast<uint16_t>(p[5] | p[6] << 8);
    return true;
  }

  bool SkipTen(ByteReader& in) const {
    uint8_t style = 0;
    uint16_t color = 0;
    return SkipFixed(in, size_.ten(), style, color) &&
           (style != 100 || SkipBytes(in, size_.tenExtras()));
  }

  bool SkipBody(ByteReader& in, int32_t kind) const {
    switch (kind) {
      case kLine:
        return SkipBytes(in, size_.line());
      case kEnko:
        return SkipBytes(in, size_.enko());
      case kTen:
        return SkipTen(in);
      case kMoji:
        return SkipBytes(in, size_.moji()) && SkipString(in) && SkipString(in);
      case kSunpo: {
        if (!SkipBytes(in, size_.attr + size_.line() + size_.moji()) || !SkipString(in) ||
            !SkipString(in))
          return false;
        if (ver_ < 420) return true;
        return SkipBytes(in, 2 + 2 * size_.line()) && SkipTen(in) && SkipTen(in) && SkipTen(in) &&
               SkipTen(in);
      }
      case kSolid: {
        uint8_t style = 0;
        uint16_t color = 0;
        return SkipFixed(in, size_.solid(), style, color) && (color != 10 || SkipBytes(in, 4));
      }
      case kBlock:
        return SkipBytes(in, size_.block());
      default:
        return false;
    }
  }

  // The kind named by the next object tag; kNone (after Fail) when the tag is
  // incomplete, declares an unknown class or names no entity class.
  int32_t ReadEntityTag(const ReadLocation& at) {
    ObjectTag tag = ReadObjectTag(in_);
    int32_t kind = kNone;
    if (!tag.complete) {
      Note(finding::kEntityDropped, at, "the file ends inside the object's tag");
    } else if (tag.newClass) {
      kind = KindOfClassName(tag.className);
      if (kind != kNone)
        classes_.DeclareKind(kind, counter_++);
      else
        Note(finding::kEntityDropped, at,
             "an object of the unknown class \"" + PrintableAscii(tag.className) + "\"");
    } else {
      kind = classes_.KindOf(tag.classIndex);
      if (kind == kNone)
        Note(finding::kEntityDropped, at,
             "an object naming class " + std::to_string(tag.classIndex) +
                 ", which no entity class has");
    }
    if (kind == kNone) Fail();
    return kind;
  }

  static std::string PrintableAscii(const std::string& s) {
    std::string out;
    for (char c : s.substr(0, 64)) out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    return out;
  }

  // Appends one body of `kind`. False (after Fail) when the file ended inside
  // it; the partial entity is not kept.
  bool ReadEntity(int32_t kind, ReadLists& l, const ReadLocation& at) {
    switch (kind) {
      case kLine:
        return Append(l, l.line, l.lineN, kind, at, [&](TEntJwwLine& e) { ReadLine(e, at); });
      case kEnko:
        return Append(l, l.enko, l.enkoN, kind, at, [&](TEntJwwEnko& e) { ReadEnko(e, at); });
      case kTen:
        return Append(l, l.ten, l.tenN, kind, at, [&](TEntJwwTen& e) { ReadTen(e, at); });
      case kMoji:
        return Append(l, l.moji, l.mojiN, kind, at, [&](TEntJwwMoji& e) { ReadMoji(e, at); });
      case kSunpo:
        return Append(l, l.sunpo, l.sunpoN, kind, at, [&](TEntJwwSunpo& e) { ReadSunpo(e, at); });
      case kSolid:
        return Append(l, l.solid, l.solidN, kind, at, [&](TEntJwwSolid& e) { ReadSolid(e, at); });
      case kBlock:
        return Append(l, l.block, l.blockN, kind, at, [&](TEntJwwBlock& e) { ReadBlock(e, at); });
      default:
        return false;
    }
  }

  template <typename T, typename ReadBody>
  bool Append(ReadLists& l, std::vector<T>& a, int32_t& count, int32_t kind, const ReadLocation& at,
              ReadBody read) {
    // The arrays were sized by the dry run; each holds exactly its count.
    a.resize(static_cast<size_t>(count));
    T& e = a.emplace_back();
    read(e);
    if (!in_.ok()) {
      a.pop_back();
      bad_ = {};
      Note(finding::kEntityDropped, at,
           std::string("a ") + KindName(kind) + " cut short by the end of the file");
      return Fail();
    }
    if (bad_.field) [[unlikely]] {
      a.pop_back();
      return OutOfRange(at, std::string("a ") + KindName(kind) + "'s");
    }
    if (!wide_) filledWidth_.Note(at);
    l.no[l.nextNo++] = TEntJwwNo{kind, count};
    ++count;
    return true;
  }

  // ---- value ranges: one comparison per field on the way; the first value
  // outside is kept (no allocation) and reported once the object is read ----

  struct Violation {
    const char* field = nullptr;
    double value = 0;
    size_t offset = 0;
  };
  void Bad(const char* field, double value, size_t offset) {
    if (!bad_.field) bad_ = {field, value, offset};
  }
  bool OutOfRange(const ReadLocation& at, const std::string& what) {
    doc_.ReadLog.AddOutOfRange(
        ReadLocation{at.section, at.definition, at.index, static_cast<int64_t>(bad_.offset)}, what,
        bad_.field, bad_.value);
    bad_ = {};
    return Fail();
  }
  double Value(FixedPart& f, const char* field) {
    const size_t at = f.offset();
    const double v = f.f64();
    if (!limits::InBound(v)) [[unlikely]]
      Bad(field, v, at);
    return v;
  }
  // Text sizes that are not numbers are repaired after reading; only finite
  // ones can be too large.
  double Size(FixedPart& f, const char* field) {
    const size_t at = f.offset();
    const double v = f.f64();
    if (std::fabs(v) > limits::kMaxValue && std::isfinite(v)) [[unlikely]]
      Bad(field, v, at);
    return v;
  }
  TEntJwwAttr Attr(FixedPart& f) {
    const size_t at = f.offset();
    TEntJwwAttr a = GetAttr(f, wide_);
    if (!AttrInRange(a)) [[unlikely]]
      BadAttr(a, at);
    return a;
  }
  void BadAttr(const TEntJwwAttr& a, size_t at) {
    const size_t width = wide_ ? 2 : 0;
    if (a.nPenColor > limits::kMaxPenColor) Bad("nPenColor", a.nPenColor, at + 5);
    if (a.nPenWidth > limits::kMaxWidth) Bad("nPenWidth", a.nPenWidth, at + 7);
    if (a.nLayer > limits::kMaxLayer) Bad("nLayer", a.nLayer, at + 7 + width);
    if (a.nGLayer > limits::kMaxLayer) Bad("nGLayer", a.nGLayer, at + 9 + width);
  }

  // ---- bodies: the fixed part is read whole or the reader goes short ----

  void GetLine(FixedPart& f, TEntJwwLine& e) {
    e.att = Attr(f);
    e.start_x = Value(f, "start_x");
    e.start_y = Value(f, "start_y");
    e.end_x = Value(f, "end_x");
    e.end_y = Value(f, "end_y");
  }
  void GetTen(FixedPart& f, TEntJwwTen& e) {
    e.att = Attr(f);
    e.start_x = Value(f, "start_x");
    e.start_y = Value(f, "start_y");
    e.bKariten = f.u32();
  }
  // Symbol points (style 100) carry a code, a rotation and a scale.
  void ReadTenExtras(TEntJwwTen& e) {
    if (e.att.nPenStyle != 100) return;
    FixedPart f(in_, size_.tenExtras());
    e.nCode = f.u32();
    e.radKaitenKaku = Value(f, "radKaitenKaku");
    e.dBairitsu = Value(f, "dBairitsu");
  }
  void GetMoji(FixedPart& f, TEntJwwMoji& e) {
    e.att = Attr(f);
    e.start_x = Value(f, "start_x");
    e.start_y = Value(f, "start_y");
    e.end_x = Value(f, "end_x");
    e.end_y = Value(f, "end_y");
    e.nMojiShu = f.u32();
    e.dSizeX = Size(f, "dSizeX");
    e.dSizeY = Size(f, "dSizeY");
    e.dKankaku = Size(f, "dKankaku");
    e.degKakudo = Value(f, "degKakudo");
  }
  void ReadMojiStrings(TEntJwwMoji& e, const ReadLocation& at, int32_t kind) {
    e.strFontName = ReadCleanCString(in_, doc_.MojiEncode);
    e.str = ReadCleanCString(in_, doc_.MojiEncode);
    if (!std::isfinite(e.dSizeX) || !std::isfinite(e.dSizeY) || !std::isfinite(e.dKankaku)) {
      RepairMoji(e);
      Note(finding::kNonFiniteValue, at,
           std::string("a ") + KindName(kind) +
               " with a NaN or infinite text size or spacing, repaired (size 3, spacing 0)");
    }
  }

  void ReadLine(TEntJwwLine& e, const ReadLocation&) {
    FixedPart f(in_, size_.line());
    GetLine(f, e);
  }
  void ReadEnko(TEntJwwEnko& e, const ReadLocation&) {
    FixedPart f(in_, size_.enko());
    e.att = Attr(f);
    e.start_x = Value(f, "start_x");
    e.start_y = Value(f, "start_y");
    e.dHankei = Value(f, "dHankei");
    e.radKaishiKaku = Value(f, "radKaishiKaku");
    e.radEnkoKaku = Value(f, "radEnkoKaku");
    e.radKatamukiKaku = Value(f, "radKatamukiKaku");
    e.dHenpeiRitsu = Value(f, "dHenpeiRitsu");
    e.bZenEnFlg = f.u32();
  }
  void ReadTen(TEntJwwTen& e, const ReadLocation&) {
    FixedPart f(in_, size_.ten());
    GetTen(f, e);
    ReadTenExtras(e);
  }
  void ReadMoji(TEntJwwMoji& e, const ReadLocation& at) {
    FixedPart f(in_, size_.moji());
    GetMoji(f, e);
    ReadMojiStrings(e, at, kMoji);
  }
  void ReadSolid(TEntJwwSolid& e, const ReadLocation&) {
    FixedPart f(in_, size_.solid());
    e.att = Attr(f);
    e.start_x = Value(f, "start_x");
    e.start_y = Value(f, "start_y");
    e.end_x = Value(f, "end_x");
    e.end_y = Value(f, "end_y");
    e.DPoint2_x = Value(f, "DPoint2_x");
    e.DPoint2_y = Value(f, "DPoint2_y");
    e.DPoint3_x = Value(f, "DPoint3_x");
    e.DPoint3_y = Value(f, "DPoint3_y");
    // Colour 10 is "any RGB colour", stored right after the corners.
    if (e.att.nPenColor == 10) {
      FixedPart c(in_, 4);
      e.Color = c.u32();
      if (e.Color > limits::kMaxRgb) [[unlikely]]
        Bad("Color", e.Color, c.offset() - 4);
    }
  }
  void ReadBlock(TEntJwwBlock& e, const ReadLocation&) {
    FixedPart f(in_, size_.block());
    e.att = Attr(f);
    e.DPKijunTen_x = Value(f, "DPKijunTen_x");
    e.DPKijunTen_y = Value(f, "DPKijunTen_y");
    e.dBairitsuX = Value(f, "dBairitsuX");
    e.dBairitsuY = Value(f, "dBairitsuY");
    e.radKaitenKaku = Value(f, "radKaitenKaku");
    e.nNumber = f.u32();
  }

  // A dimension: its attributes, its line and its text; from version 420 the
  // SXF flag, two auxiliary lines and four points follow. Older files get
  // those parts filled in from the dimension's own attributes.
  void ReadSunpo(TEntJwwSunpo& d, const ReadLocation& at) {
    FixedPart f(in_, size_.attr + size_.line() + size_.moji());
    d.att = Attr(f);
    GetLine(f, d.Sen);
    GetMoji(f, d.Moji);
    ReadMojiStrings(d.Moji, at, kSunpo);
    if (ver_ < 420) {
      FillPre420Sunpo(d);
      filledSunpo_.Note(at);
      return;
    }
    FixedPart g(in_, 2 + 2 * size_.line() + size_.ten());
    d.bSxfMode = g.get<uint16_t>();
    GetLine(g, d.Ho1);
    GetLine(g, d.Ho2);
    GetTen(g, d.Te1);
    ReadTenExtras(d.Te1);
    for (TEntJwwTen* p : {&d.Te2, &d.Kt1, &d.Kt2}) {
      FixedPart h(in_, size_.ten());
      GetTen(h, *p);
      ReadTenExtras(*p);
    }
  }

  static void FillPre420Sunpo(TEntJwwSunpo& d) {
    d.bSxfMode = 0;
    d.Ho1 = TEntJwwLine{};
    d.Ho1.att = CopyAttr(d.att);
    d.Ho2 = d.Ho1;
    TEntJwwTen point;
    point.att = CopyAttr(d.att);
    point.att.nPenStyle = 0;
    d.Te1 = d.Te2 = d.Kt1 = d.Kt2 = point;
  }

  // One finding per field filled in for the whole file.
  void ReportTallies() {
    if (filledWidth_.count > 0)
      Note(finding::kFilledForVersion, filledWidth_.first,
           "version " + std::to_string(ver_) + " stores no line width: " +
               std::to_string(filledWidth_.count) + " entities read with width 0",
           filledWidth_.count);
    if (filledSunpo_.count > 0)
      Note(finding::kFilledForVersion, filledSunpo_.first,
           "version " + std::to_string(ver_) +
               " stores no SXF dimension parts: " + std::to_string(filledSunpo_.count) +
               " dimensions read with auxiliary lines and points from their own attributes",
           filledSunpo_.count);
  }

  // ---- block definitions ----

  ListEnd ReadBlockDefList() {
    section_ = ReadSection::kDefinitions;
    definition_ = -1;
    const ReadLocation at = Here();
    bool ok = false;
    uint32_t declared = ReadCount(in_, ok);
    if (!ok) return TruncatedList(at, "the block-definition count");
    if (declared == 0) return ListEnd::kComplete;
    uint32_t n = CapCount(declared, kMinBlockDefBytes, at);
    doc_.Enthd.n2 = static_cast<int32_t>(n);
    doc_.EntBlockDefN = static_cast<int32_t>(n);
    doc_.EntBlockDef.assign(n, TEntJwwBlockDef{});
    for (uint32_t i = 0; i < n; ++i) {
      if (LimitReached()) return ListEnd::kStopped;
      ListEnd end = ReadBlockDef(doc_.EntBlockDef[i], i);
      if (end != ListEnd::kComplete) return end;
    }
    return ListEnd::kComplete;
  }

  ListEnd ReadBlockDef(TEntJwwBlockDef& def, uint32_t index) {
    section_ = ReadSection::kDefinitions;
    definition_ = static_cast<int32_t>(index);
    const ReadLocation at = Here(index);
    ObjectTag tag = ReadObjectTag(in_);
    if (!tag.complete) return TruncatedList(at, "a block definition's tag");
    if (tag.newClass) {
      classes_.DeclareList(counter_++);
    } else if (!classes_.IsDeclared(tag.classIndex)) {
      Note(finding::kEntityDropped, at,
           "a block definition naming class " + std::to_string(tag.classIndex) +
               ", which no class has");
      return FailList();
    }

    FixedPart f(in_, size_.blockDef());
    def.att = Attr(f);
    def.nNumber = f.u32();
    def.bRefferd = f.u32();
    def.dtime = f.u32();
    // A time with the top bit set is followed by 8 bytes Jw_cad does not use;
    // the definition's position stands in for it.
    if (def.dtime >= 0x80000000u) {
      in_.skip(8);
      def.dtime = index + 1;
    }
    def.strName = ReadCleanCString(in_, doc_.MojiEncode);
    if (!in_.ok()) {
      bad_ = {};
      return TruncatedList(at, "a block definition's fixed part or name");
    }
    if (bad_.field) [[unlikely]] {
      OutOfRange(at, "a block definition's");
      return ListEnd::kFailed;
    }
    if (!wide_) filledWidth_.Note(at);

    const ReadLocation countAt = Here();
    bool ok = false;
    uint32_t declared = ReadCount(in_, ok);
    if (!ok) return TruncatedList(countAt, "a block definition's member count");
    uint32_t n = CapCount(declared, kMinObjectBytes, countAt);
    def.N = static_cast<int32_t>(n);
    def.mNo.assign(n, TEntJwwNo{});
    ++counter_;
    section_ = ReadSection::kMembers;
    ReadLists members{MemberLists(def)};
    return ReadObjects(members, n);
  }

  // ---- embedded images ----

  // `sectionRead` false: the document asked for the section to be left
  // alone, so nothing after this point was looked at.
  bool ReadImages(bool& sectionRead) {
    doc_.BindImageInit();
    sectionRead = doc_.BindImageExp || doc_.BindImageExr;
    if (!sectionRead) return true;
    section_ = ReadSection::kImages;
    definition_ = -1;
    const ReadLocation at = Here();
    int32_t count = 0;
    if (in_.read(&count, sizeof count) < sizeof count) return Truncated(at, "the image count");
    if (count < 0) {
      Note(finding::kBadCount, at, "a negative image count (" + std::to_string(count) + ")", count);
      return Fail();
    }
    const bool extract = doc_.BindImageExp && !doc_.BindImageFolder.empty();
    for (int32_t i = 0; i < count; ++i) {
      const ReadLocation imageAt = Here(i);
      TBindImageType img;
      img.Fname = ReadCleanCString(in_, doc_.MojiEncode);
      in_.read(&img.Fsize, sizeof img.Fsize);
      if (!in_.ok()) return Truncated(imageAt, "an image's name or size");
      std::span<const uint8_t> content;
      if (!img.Fname.empty() && img.Fsize != 0) {
        if (img.Fsize < 0) {
          Note(finding::kBadCount, imageAt,
               "an image of negative size (" + std::to_string(img.Fsize) + ")", img.Fsize);
          return Fail();
        }
        if (static_cast<size_t>(img.Fsize) > in_.remaining())
          return Truncated(imageAt, "an image's content");
        content = in_.take(static_cast<size_t>(img.Fsize));
      }
      // A name that could reach outside the working folder is never used;
      // its bytes are passed over so that the next image is found.
      if (!IsPlainImageName(img.Fname)) {
        Note(finding::kUnsafeImageName, imageAt,
             "an image named \"" + util::ToUtf8(img.Fname) + "\", skipped");
        continue;
      }
      if (extract && !content.empty()) ExtractImage(img.Fname, content);
      doc_.BindImage.push_back(std::move(img));
      doc_.BindImageN = static_cast<int32_t>(doc_.BindImage.size());
    }
    return true;
  }

  // A file that cannot be written in full is removed again; the read goes
  // on. Nothing is removed when the file could not even be created (the name
  // may belong to a folder).
  void ExtractImage(const std::u16string& name, std::span<const uint8_t> content) {
    const std::filesystem::path path =
        std::filesystem::path(doc_.BindImageFolder) / std::filesystem::path(util::ToUtf8(name));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    if (std::fclose(f) != 0) written = false;
    if (!written) {
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
  }

  TJwwData& doc_;
  ByteReader& in_;
  const int32_t ver_;
  const bool wide_;
  const BodySizes size_;
  const int64_t limit_;  // negative: no limit
  int64_t counted_ = 0;
  uint32_t counter_ = 1;  // the class map's running index
  ClassMap classes_;
  bool capped_ = false;  // a count promised more than the file holds
  ReadSection section_ = ReadSection::kEntities;
  int32_t definition_ = -1;
  Tally filledWidth_, filledSunpo_;
  Violation bad_;
};

// ---- findings about block references, once all lists are read ----

// Insertions of one list whose number names no definition.
void NoteUnknownNumbers(TJwwData& doc, const std::unordered_map<uint32_t, int32_t>& first,
                        const std::vector<TEntJwwNo>& order,
                        const std::vector<TEntJwwBlock>& blocks, ReadSection section,
                        int32_t definition) {
  for (size_t i = 0; i < order.size(); ++i) {
    const TEntJwwNo& e = order[i];
    if (e.EntType != kBlock || e.EntNo < 0 || static_cast<size_t>(e.EntNo) >= blocks.size())
      continue;
    const uint32_t no = blocks[e.EntNo].nNumber;
    if (first.count(no)) continue;
    doc.ReadLog.Add(
        finding::kUnknownBlockNumber,
        ReadLocation{section, definition, static_cast<int64_t>(i), -1},
        "a block insertion of number " + std::to_string(no) + ", which no block definition has",
        no);
  }
}

// Definitions that place themselves, directly or through others: a walk
// over the definitions (not the placements) that notes every definition a
// path returns to.
void NoteCycles(TJwwData& doc, const std::unordered_map<uint32_t, int32_t>& first) {
  const int32_t n = doc.EntBlockDefN;
  enum : uint8_t { kUnseen, kOnPath, kDone };
  std::vector<uint8_t> state(static_cast<size_t>(n), kUnseen);
  std::vector<bool> reported(static_cast<size_t>(n), false);
  struct Frame {
    int32_t def;
    int32_t next;  // next member insertion to follow
  };
  std::vector<Frame> path;
  for (int32_t root = 0; root < n; ++root) {
    if (state[root] != kUnseen) continue;
    path.push_back({root, 0});
    state[root] = kOnPath;
    while (!path.empty()) {
      Frame& f = path.back();
      const TEntJwwBlockDef& def = doc.EntBlockDef[f.def];
      const int32_t members =
          std::min<int32_t>(def.mBlockN, static_cast<int32_t>(def.mBlock.size()));
      if (f.next >= members) {
        state[f.def] = kDone;
        path.pop_back();
        continue;
      }
      auto it = first.find(def.mBlock[f.next++].nNumber);
      if (it == first.end()) continue;
      const int32_t target = it->second;
      if (state[target] == kOnPath) {
        if (!reported[target]) {
          reported[target] = true;
          doc.ReadLog.Add(finding::kCyclicDefinition,
                          ReadLocation{ReadSection::kDefinitions, target, target, -1},
                          "the block definition \"" +
                              util::ToUtf8(doc.EntBlockDef[target].strName) +
                              "\" places itself (through " + std::to_string(path.size()) +
                              " definitions); its placements are not expanded further");
        }
      } else if (state[target] == kUnseen) {
        state[target] = kOnPath;
        path.push_back({target, 0});
      }
    }
  }
}

void NoteBlockReferences(TJwwData& doc) {
  bool anyInsertion = doc.EntBlockN > 0;
  for (int32_t i = 0; i < doc.EntBlockDefN && !anyInsertion; ++i)
    anyInsertion = doc.EntBlockDef[i].mBlockN > 0;
  if (!anyInsertion) return;
  const auto first = FirstDefinitionByNumber(doc);
  NoteUnknownNumbers(doc, first, doc.EntNo, doc.EntBlock, ReadSection::kEntities, -1);
  for (int32_t i = 0; i < doc.EntBlockDefN; ++i) {
    const TEntJwwBlockDef& def = doc.EntBlockDef[i];
    if (def.mBlockN > 0)
      NoteUnknownNumbers(doc, first, def.mNo, def.mBlock, ReadSection::kMembers, i);
  }
  NoteCycles(doc, first);
}

std::u16string DrawTimeText(int32_t seconds) {
  const int32_t h = seconds / 3600;
  const int32_t m = (seconds / 60) % 60;
  std::string s = std::to_string(h) + " : ";
  if (m >= 0 && m < 10) s += '0';
  s += std::to_string(m);
  return util::FromUtf8(s);
}

void SetTextMacroValues(TJwwData& doc, const std::string& fileName) {
  TextMacroValues& v = doc.Macro;
  v.fileName = fileName;
  v.drawTime = DrawTimeText(doc.Enthd.lnDrawTime);
  const std::u16string& memo = doc.Enthd.strMemo;
  const size_t br = memo.find(u"\r\n");
  if (br == std::u16string::npos) {
    v.memo1 = memo;
    v.memo2.clear();
    v.memoAll = memo;
  } else {
    v.memo1 = memo.substr(0, br);
    v.memo2 = memo.substr(br + 2);
    v.memoAll = v.memo1 + u'\u3000' + v.memo2;
  }
  v.prtBairitsu = doc.Enthd.dPrtBairitsu;
}

// Every read starts from the initial state; a preview leaves the text macro
// values of the last full read alone.
void ResetForRead(TJwwData& doc, bool preview) {
  TextMacroValues macro = preview ? doc.Macro : TextMacroValues{};
  doc.DataInit();
  if (preview) doc.Macro = std::move(macro);
  doc.LastReadError.clear();
  doc.LastReadCause.clear();
}

// The file could not be read: an empty document with its (empty) tree.
bool UnreadableFile(TJwwData& doc, bool preview, std::error_code cause) {
  ResetForRead(doc, preview);
  doc.LastReadError = kIoError;
  doc.LastReadCause = cause;
  doc.MakeBlockTree();
  return false;
}

// Shared by FileIn (no limit) and FilePrevIn (limit >= 0 objects, no macro
// values, no images).
bool ReadDrawing(TJwwData& doc, std::span<const uint8_t> data, const std::string& fileName,
                 int64_t objectLimit) {
  const bool preview = objectLimit >= 0;
  ResetForRead(doc, preview);
  ByteReader in(data);
  if (!doc.ReadHeader(in)) return false;
  bool ok = false;
  try {
    if (!preview) SetTextMacroValues(doc, fileName);
    EntityStreamReader reader(doc, in, objectLimit);
    ok = reader.ReadAll(!preview);
    NoteBlockReferences(doc);
  } catch (const std::exception& e) {
    doc.LastReadError = e.what();
    ok = false;
  }
  try {
    doc.MakeBlockTree();
  } catch (const std::exception& e) {
    doc.LastReadError = e.what();
    ok = false;
  }
  return ok;
}

}  // namespace

bool TJwwData::FileIn(const std::string& FName) {
  std::vector<uint8_t> data;
  std::error_code cause;
  if (!ReadFileBytes(FName, data, &cause)) return UnreadableFile(*this, false, cause);
  return ReadDrawing(*this, data, FName, -1);
}

bool TJwwData::ReadFromBuffer(std::span<const uint8_t> data, const std::string& FName) {
  return ReadDrawing(*this, data, FName, -1);
}

bool TJwwData::FilePrevIn(const std::string& FName, int32_t ZMaxN) {
  std::vector<uint8_t> data;
  std::error_code cause;
  if (!ReadFileBytes(FName, data, &cause)) return UnreadableFile(*this, true, cause);
  return ReadDrawing(*this, data, FName, ZMaxN < 0 ? 0 : ZMaxN);
}

}  // namespace jww
