// SPDX-License-Identifier: GPL-3.0-or-later
// The JWW writer: the whole document in one forward pass.
//
// Every list is preceded by its object count, so each list is walked twice:
// once to count, once to write. Both walks ask ObjectsFor() about every
// draw-order entry, so the count always matches what follows it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "jww/block_numbers.h"
#include "jww/document.h"
#include "jww/entity_lists.h"
#include "jww/image_name.h"
#include "jww/output_file.h"
#include "jww/format_version.h"
#include "util/encoding.h"
#include "util/text.h"

namespace jww {
namespace {

// Class names by entity kind; index 8 is the block definition.
constexpr std::array<std::string_view, 9> kClassName = {"",           "CDataSen",   "CDataEnko",
                                                        "CDataTen",   "CDataMoji",  "CDataSunpou",
                                                        "CDataSolid", "CDataBlock", "CDataList"};

// The six parts of an SXF dimension become objects of their own when a
// dimension read from version 420 or later is written below 420.
constexpr int32_t kSplitDimensionObjects = 7;

std::string ErrnoText(const std::string& what, int err) { return what + ": " + std::strerror(err); }

double ClampTextSize(double v) {
  v = std::fabs(v);
  if (v < 1e-10) return 1e-10;
  if (v > 1e10) return 1e10;
  return v;
}

// The fixed-width part of an object, gathered on the stack and handed to the
// output in one piece: millions of small appends are the writer's hot path.
class FixedPart {
 public:
  template <typename T>
  void put(T v) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(buf_ + n_, &v, sizeof v);
    n_ += sizeof v;
  }
  void attr(int32_t version, const TEntJwwAttr& att, int32_t kind) {
    n_ += PackAttr(buf_ + n_, version, att, kind);
  }
  void line(int32_t version, const TEntJwwLine& l) {
    attr(version, l.att, kLine);
    put(l.start_x);
    put(l.start_y);
    put(l.end_x);
    put(l.end_y);
  }
  void ten(int32_t version, const TEntJwwTen& t, uint32_t bKariten) {
    attr(version, t.att, kTen);
    put(t.start_x);
    put(t.start_y);
    put(bKariten);
    if (t.att.nPenStyle == 100) {  // a point with code, rotation and scale
      put(t.nCode);
      put(t.radKaitenKaku);
      put(t.dBairitsu);
    }
  }
  void mojiFixed(int32_t version, const TEntJwwMoji& m) {
    attr(version, m.att, kMoji);
    put(m.start_x);
    put(m.start_y);
    put(m.end_x);
    put(m.end_y);
    put(m.nMojiShu);
    put(ClampTextSize(m.dSizeX));
    put(ClampTextSize(m.dSizeY));
    put(m.dKankaku);
    put(m.degKakudo);
  }
  void writeTo(ByteWriter& out) {
    out.bytes(buf_, n_);
    n_ = 0;
  }

 private:
  // Largest run: the SXF tail of a dimension, 2 + 2 × 47 + 4 × 55 bytes.
  uint8_t buf_[512];
  size_t n_ = 0;
};

// The file-name part of an image reference: what follows the last "\\", "/"
// or ":"; empty when the reference holds characters no path may hold.
std::u16string ImageRefFileName(std::u16string_view ref) {
  for (char16_t c : ref)
    if (c < 0x20 || c == u'"' || c == u'<' || c == u'>' || c == u'|') return {};
  size_t cut = ref.find_last_of(u"\\/:");
  return std::u16string(cut == std::u16string_view::npos ? ref : ref.substr(cut + 1));
}

bool HasLineMarks(std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c < 0x20) return true;
    if (i + 1 < s.size() && ((c == u'^' && s[i + 1] == u'm') || (c == u'\\' && s[i + 1] == u'n')))
      return true;
  }
  return false;
}

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

constexpr std::u16string_view kImageMark = u"^@BM";
constexpr std::u16string_view kTempImageMark = u"^@BM%temp%";

// Bits 8 and 1 of the output options rewrite the file reference of an image
// text; texts that do not start with "^@BM" are never touched.
std::u16string_view ApplyImageTextOptions(std::u16string_view s, int32_t opt,
                                          std::u16string& scratch) {
  if (!StartsWith(s, kImageMark)) return s;
  std::u16string t(s);
  if ((opt & 8) && StartsWith(t, kTempImageMark))
    t = std::u16string(kImageMark) + t.substr(kTempImageMark.size());
  if (opt & 1) {
    size_t p = t.find(u',');
    if (p != std::u16string::npos) {
      std::u16string_view ref = std::u16string_view(t).substr(4, p - 4);
      t = std::u16string(kImageMark) + ImageRefFileName(ref) + t.substr(p);
    }
  }
  scratch = std::move(t);
  return scratch;
}

// Strings whose length is below 0xFFFE bytes (or units) in the output form;
// longer ones cannot be stored (a length of 0xFFFE is the Unicode marker).
bool PutString(ByteWriter& out, int32_t opt, std::u16string_view s) {
  if (opt & 0x20) {
    if (s.size() >= 0xFFFE) return false;
    out.u8(0xFF);
    out.u16(0xFFFE);
    if (s.size() <= 254) {
      out.u8(static_cast<uint8_t>(s.size()));
    } else {
      out.u8(0xFF);
      out.u16(static_cast<uint16_t>(s.size()));
    }
    out.bytes(s.data(), s.size() * 2);  // UTF-16LE on a little-endian host
    return true;
  }
  // Plain ASCII is its own code page 932 form: no conversion, no temporary.
  size_t n = std::find(s.begin(), s.end(), u'\0') - s.begin();
  bool ascii = std::all_of(s.begin(), s.begin() + n, [](char16_t c) { return c < 0x80; });
  if (!ascii) return WriteCString(out, opt, s);
  if (n >= 0xFFFE) return false;
  if (n <= 254) {
    out.u8(static_cast<uint8_t>(n));
  } else {
    out.u8(0xFF);
    out.u16(static_cast<uint16_t>(n));
  }
  char buf[256];
  for (size_t i = 0; i < n;) {
    size_t k = std::min(n - i, sizeof buf);
    for (size_t j = 0; j < k; ++j) buf[j] = static_cast<char>(s[i + j]);
    out.bytes(buf, k);
    i += k;
  }
  return true;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Writes the entity list, the block definitions and the image section; the
// header is WriteHeader's.
// A dimension read from 420 or later and written below 420 goes out in the
// old form followed by its six parts as objects of their own.
bool SplitsDimension(const TEntJwwSunpo& s, int32_t version, int32_t readVersion) {
  return version < 420 && readVersion >= 420 && s.bSxfMode != 0;
}

// The one validity rule: how many objects a draw-order entry stands for in
// the written list — 0 (left out), 1, or 7 for a dimension that is split.
int32_t ObjectsInFile(const EntitySpans& list, const TEntJwwNo& e, int32_t version,
                      int32_t readVersion) {
  if (e.EntType < kLine || e.EntType > kBlock) return 0;
  if (e.EntNo < 0 || static_cast<size_t>(e.EntNo) >= list.SizeOf(e.EntType)) return 0;
  if (e.EntType == kSunpo && SplitsDimension(list.sunpo[e.EntNo], version, readVersion))
    return kSplitDimensionObjects;
  return 1;
}

class BodyWriter {
 public:
  BodyWriter(TJwwData& doc, ByteWriter& out, int32_t version)
      : doc_(doc),
        out_(out),
        version_(version),
        opt_(doc.FileOutOpt),
        firstDefinition_(FirstDefinitionByNumber(doc)) {
    int32_t written = 0;
    for (const TEntJwwBlockDef& b : Definitions())
      if (b.ref_flag) ++written;
    writtenDefinitions_ = static_cast<uint32_t>(written);
  }

  const std::string& error() const { return error_; }

  int32_t ObjectsFor(const EntitySpans& list, const TEntJwwNo& e) const {
    return ObjectsInFile(list, e, version_, doc_.Enthd.jwVer);
  }

  // Count, then the objects. A block definition's own class-map index comes
  // between its member count and its members (`definitionStep`).
  bool WriteList(const EntitySpans& list, bool definitionStep = false) {
    uint64_t total = 0;
    for (const TEntJwwNo& e : list.order) total += ObjectsFor(list, e);
    if (total > 0x7FFFFFFF) return Fail("too many objects in one list");
    WriteCount(out_, static_cast<int32_t>(total));
    if (definitionStep) ++counter_;
    size_t done = 0;
    for (const TEntJwwNo& e : list.order) {
      int32_t objects = ObjectsFor(list, e);
      if (objects == 0) continue;
      if (!WriteObject(list, e, objects == kSplitDimensionObjects)) return false;
      // A full disk is noticed at the next flush: stop instead of going on.
      if ((++done & 0xFFFF) == 0 && !out_.ok()) return Fail("write error");
    }
    return true;
  }

  bool WriteBlockDefinitions() {
    WriteCount(out_, static_cast<int32_t>(writtenDefinitions_));
    for (const TEntJwwBlockDef& b : Definitions()) {
      if (!b.ref_flag) continue;
      Tag(kBlockDefKind);
      fixed_.attr(version_, b.att, kBlockDefKind);
      fixed_.put(static_cast<uint32_t>(b.ref_no));
      fixed_.put(b.bRefferd);
      fixed_.put(b.dtime);
      // A time with the top bit set announces 8 more bytes; readers skip
      // them, so they must be there.
      if (b.dtime >= 0x80000000u) fixed_.put(uint64_t{0});
      fixed_.writeTo(out_);
      if (!PutCleanString(b.strName, "block name")) return false;
      if (!WriteList(SpansOf(b), /*definitionStep=*/true)) return false;
      if (!out_.ok()) return Fail("write error");
    }
    return true;
  }

  bool WriteImageSection() {
    for (TBindImageType& img : doc_.BindImage) img.exf = false;
    std::vector<std::pair<int32_t, FilePtr>> files;  // opened before anything is counted
    if (doc_.BindImageExp || doc_.BindImageExr) {
      MarkReferencedImages();
      for (int32_t i = 0; i < ImageCount(); ++i) {
        TBindImageType& img = doc_.BindImage[i];
        if (!img.exf) continue;
        img.exf = false;
        if (!IsPlainImageName(img.Fname)) continue;
        std::string path = doc_.BindImageFolder + util::ToUtf8(img.Fname);
        FilePtr f(std::fopen(path.c_str(), "rbe"));
        if (!f && (errno == EMFILE || errno == ENFILE || errno == ENOMEM))
          return Fail(ErrnoText("cannot open embedded image " + path, errno));
        struct stat st {};
        if (!f || fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (st.st_size > 0x7FFFFFFF) return Fail("embedded image too large: " + path);
        img.exf = true;
        files.emplace_back(i, std::move(f));
      }
    }
    out_.u32(static_cast<uint32_t>(files.size()));
    std::vector<uint8_t> buf(1 << 16);
    for (auto& [i, f] : files) {
      const TBindImageType& img = doc_.BindImage[i];
      struct stat st {};
      if (fstat(fileno(f.get()), &st) != 0) return Fail("cannot read embedded image");
      uint64_t size = static_cast<uint64_t>(st.st_size);
      if (!PutString(out_, opt_, img.Fname)) return Fail("image name too long");
      out_.u32(static_cast<uint32_t>(size));
      for (uint64_t left = size; left > 0;) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
        size_t got = std::fread(buf.data(), 1, want, f.get());
        // The size is already written: a file that shrank would break the section.
        if (got != want)
          return Fail("embedded image changed while being written: " + util::ToUtf8(img.Fname));
        out_.bytes(buf.data(), got);
        left -= got;
      }
    }
    return out_.ok() || Fail("write error");
  }

 private:
  std::span<const TEntJwwBlockDef> Definitions() const {
    return Counted(doc_.EntBlockDef, doc_.EntBlockDefN);
  }
  int32_t ImageCount() const {
    return static_cast<int32_t>(Counted(doc_.BindImage, doc_.BindImageN).size());
  }

  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }

  bool SplitsDimension(const TEntJwwSunpo& s) const {
    return jww::SplitsDimension(s, version_, doc_.Enthd.jwVer);
  }

  void Tag(int32_t kind) {
    int32_t& slot = classSlot_[kind];
    if (slot == 0) {
      WriteNewClass(out_, version_, kClassName[kind]);
      slot = counter_++;
    } else {
      WriteClassRef(out_, slot);
    }
  }

  bool WriteObject(const EntitySpans& list, const TEntJwwNo& e, bool split) {
    const size_t i = static_cast<size_t>(e.EntNo);
    Tag(e.EntType);
    switch (e.EntType) {
      case kLine:
        fixed_.line(version_, list.line[i]);
        fixed_.writeTo(out_);
        break;
      case kEnko: {
        const TEntJwwEnko& a = list.enko[i];
        fixed_.attr(version_, a.att, kEnko);
        fixed_.put(a.start_x);
        fixed_.put(a.start_y);
        fixed_.put(a.dHankei);
        fixed_.put(a.radKaishiKaku);
        fixed_.put(a.radEnkoKaku);
        fixed_.put(a.radKatamukiKaku);
        fixed_.put(a.dHenpeiRitsu);
        fixed_.put(a.bZenEnFlg);
        fixed_.writeTo(out_);
        break;
      }
      case kTen:
        fixed_.ten(version_, list.ten[i], list.ten[i].bKariten);
        fixed_.writeTo(out_);
        break;
      case kMoji:
        if (!WriteMoji(list.moji[i], /*imageOptions=*/true)) return false;
        break;
      case kSunpo:
        if (!WriteSunpo(list.sunpo[i], split)) return false;
        break;
      case kSolid: {
        const TEntJwwSolid& s = list.solid[i];
        fixed_.attr(version_, s.att, kSolid);
        fixed_.put(s.start_x);
        fixed_.put(s.start_y);
        fixed_.put(s.end_x);
        fixed_.put(s.end_y);
        fixed_.put(s.DPoint2_x);
        fixed_.put(s.DPoint2_y);
        fixed_.put(s.DPoint3_x);
        fixed_.put(s.DPoint3_y);
        if (s.att.nPenColor == 10) fixed_.put(s.Color);  // explicit RGB colour
        fixed_.writeTo(out_);
        break;
      }
      case kBlock: {
        const TEntJwwBlock& b = list.block[i];
        fixed_.attr(version_, b.att, kBlock);
        fixed_.put(b.DPKijunTen_x);
        fixed_.put(b.DPKijunTen_y);
        fixed_.put(b.dBairitsuX);
        fixed_.put(b.dBairitsuY);
        fixed_.put(b.radKaitenKaku);
        fixed_.put(WrittenBlockNumber(b.nNumber));
        fixed_.writeTo(out_);
        break;
      }
      default:
        break;
    }
    ++counter_;
    return true;
  }

  bool WriteMoji(const TEntJwwMoji& m, bool imageOptions) {
    fixed_.mojiFixed(version_, m);
    fixed_.writeTo(out_);
    if (!PutCleanString(m.strFontName, "font name")) return false;
    std::u16string_view text = Clean(m.str, scratch_);
    if (imageOptions) text = ApplyImageTextOptions(text, opt_, scratch2_);
    return PutString(out_, opt_, text) || Fail("text too long to be written (65534 bytes or more)");
  }

  bool WriteSunpo(const TEntJwwSunpo& s, bool split) {
    fixed_.attr(version_, s.att, kSunpo);
    fixed_.line(version_, s.Sen);
    fixed_.writeTo(out_);
    if (!WriteMoji(s.Moji, /*imageOptions=*/false)) return false;
    if (version_ >= 420) {
      fixed_.put(s.bSxfMode);
      fixed_.line(version_, s.Ho1);
      fixed_.line(version_, s.Ho2);
      fixed_.ten(version_, s.Te1, s.Te1.bKariten);
      fixed_.ten(version_, s.Te2, s.Te2.bKariten);
      fixed_.ten(version_, s.Kt1, s.Kt1.bKariten);
      fixed_.ten(version_, s.Kt2, s.Kt2.bKariten);
      fixed_.writeTo(out_);
      return true;
    }
    if (!split) return true;
    // Older versions have no SXF dimension: its parts follow as plain lines
    // and points, the two carried points as temporary points.
    for (const TEntJwwLine* l : {&s.Ho1, &s.Ho2}) {
      ++counter_;
      Tag(kLine);
      fixed_.line(version_, *l);
      fixed_.writeTo(out_);
    }
    const std::pair<const TEntJwwTen*, uint32_t> points[] = {
        {&s.Te1, s.Te1.bKariten}, {&s.Te2, s.Te2.bKariten}, {&s.Kt1, 1u}, {&s.Kt2, 1u}};
    for (const auto& [t, kariten] : points) {
      ++counter_;
      Tag(kTen);
      fixed_.ten(version_, *t, kariten);
      fixed_.writeTo(out_);
    }
    return true;
  }

  static std::u16string_view Clean(std::u16string_view s, std::u16string& scratch) {
    if (!HasLineMarks(s)) return s;
    scratch = util::StripLineMarks(s);
    return scratch;
  }

  bool PutCleanString(std::u16string_view s, const char* what) {
    if (PutString(out_, opt_, Clean(s, scratch_))) return true;
    return Fail(std::string(what) + " too long to be written (65534 bytes or more)");
  }

  // The number an insertion is written with. A definition that is written
  // gets its new dense number (its ref_no, as ChangeBlockNo gives it; looked
  // up in a map built once, so that writing stays linear in the number of
  // definitions). Any other number must not come to name one of the written
  // definitions: it stays a reference to nothing.
  uint32_t WrittenBlockNumber(uint32_t n) const {
    auto it = firstDefinition_.find(n);
    if (it != firstDefinition_.end()) {
      const TEntJwwBlockDef& b = doc_.EntBlockDef[static_cast<size_t>(it->second)];
      if (b.ref_flag) return static_cast<uint32_t>(b.ref_no);
    }
    return n < writtenDefinitions_ ? writtenDefinitions_ : n;
  }

  // Marks the images that some image text refers to, as the texts are stored.
  void MarkReferencedImages() {
    std::vector<std::u16string> upperNames;
    auto mark = [&](const TEntJwwMoji& m) {
      std::u16string_view s = m.str;
      if (s.size() <= kTempImageMark.size() || !StartsWith(s, kTempImageMark)) return;
      size_t comma = s.find(u',');
      if (comma == std::u16string_view::npos) return;
      std::u16string_view name = s.substr(kTempImageMark.size(), comma - kTempImageMark.size());
      if (name.empty()) return;  // names no file; would match any image
      if (upperNames.empty())
        for (int32_t i = 0; i < ImageCount(); ++i)
          upperNames.push_back(util::StrUpper(doc_.BindImage[i].Fname));
      std::u16string upper = util::StrUpper(name);
      for (int32_t i = 0; i < ImageCount(); ++i) {
        if (StartsWith(upperNames[i], upper)) {
          doc_.BindImage[i].exf = true;
          break;
        }
      }
    };
    EntitySpans top = SpansOf(doc_);
    for (const TEntJwwNo& e : top.order)
      if (e.EntType == kMoji && e.EntNo >= 0 && static_cast<size_t>(e.EntNo) < top.moji.size())
        mark(top.moji[e.EntNo]);
    for (const TEntJwwBlockDef& b : Definitions())
      for (const TEntJwwMoji& m : Counted(b.mMoji, b.mMojiN)) mark(m);
  }

  TJwwData& doc_;
  ByteWriter& out_;
  const int32_t version_;
  const int32_t opt_;
  int32_t counter_ = 1;
  std::array<int32_t, 9> classSlot_{};
  uint32_t writtenDefinitions_ = 0;
  const std::unordered_map<uint32_t, int32_t> firstDefinition_;
  FixedPart fixed_;
  std::u16string scratch_, scratch2_;
  std::string error_;
};

}  // namespace

bool TJwwData::WriteToBuffer(ByteWriter& out, int32_t version) {
  LastWriteError.clear();
  if (!IsKnownVersion(version)) {
    LastWriteError =
        "version " + std::to_string(version) + " cannot be written (" + VersionRangeText() + ")";
    return false;
  }
  try {
    Enthd.jwID = u"JwwData.";
    if (!WriteHeader(out, version)) {
      LastWriteError = "a header string is too long to be written (65534 bytes or more)";
      return false;
    }
    BodyWriter body(*this, out, version);
    bool ok = body.WriteList(SpansOf(*this)) && body.WriteBlockDefinitions() &&
              (version < 700 || body.WriteImageSection());
    if (!ok) {
      LastWriteError = body.error();
      return false;
    }
  } catch (const std::exception& e) {
    LastWriteError = std::string("cannot write: ") + e.what();
    return false;
  }
  if (!out.ok()) {
    LastWriteError = "write error";
    return false;
  }
  return true;
}

FileContents DrawingContents(TJwwData& doc, int32_t version) {
  return [&doc, version](std::FILE* f, std::string* error) {
    doc.LastWriteError.clear();
    ByteWriter out(f);
    bool ok = doc.WriteToBuffer(out, version);
    if (ok && !out.flush()) {
      ok = false;
      doc.LastWriteError = ErrnoText("write error", errno);
    }
    *error = doc.LastWriteError;
    return ok;
  };
}

bool TJwwData::FileOut(const std::string& fileName, int32_t version) {
  LastWriteError.clear();
  std::string error;
  bool ok = SaveReplacingFile(fileName, DrawingContents(*this, version), &error);
  LastWriteError = error;
  return ok;
}

bool TJwwData::FileOutNew(const std::string& fileName, int32_t version) {
  LastWriteError.clear();
  std::string error;
  bool ok = !SaveAsNewFile(fileName, DrawingContents(*this, version), &error).empty();
  LastWriteError = error == kNameTaken ? std::string("exists") : error;
  return ok;
}

int32_t TJwwData::WrittenObjectCount(int32_t version) const {
  const EntitySpans list = SpansOf(*this);
  int64_t total = 0;
  for (const TEntJwwNo& e : list.order) total += ObjectsInFile(list, e, version, Enthd.jwVer);
  return static_cast<int32_t>(std::min<int64_t>(total, 0x7FFFFFFF));
}

void TJwwData::SetFileOutOption(int32_t n) { FileOutOpt = (n >= 0 && n <= 63) ? n : 0; }

}  // namespace jww
