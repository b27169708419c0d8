// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged drawings are never read as whole ones: drawings the project writes
// at every version, cut short or with a flipped count, fail FileIn and are
// never converted; sources that are not regular files are refused without
// waiting; and a failed open names the system's reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/convert.h"
#include "jww/archive.h"
#include "jww/document.h"
#include "jww/file_bytes.h"
#include "support/corpus.h"
#include "support/jww_bytes.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"
#include "util/encoding.h"

namespace fs = std::filesystem;
using jww::TJwwData;
using testjww::TempDir;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int32_t kVersions[] = {220, 230, 300, 351, 420, 600, 700};

size_t Find(const Bytes& hay, const Bytes& needle, size_t from = 0) {
  auto it = std::search(hay.begin() + static_cast<long>(std::min(from, hay.size())), hay.end(),
                        needle.begin(), needle.end());
  return it == hay.end() ? std::string::npos : static_cast<size_t>(it - hay.begin());
}

Bytes Ascii(const char* s) { return Bytes(s, s + std::strlen(s)); }

// The sample plan (block definitions nested two deep, texts, SXF-mode
// dimensions, solids) written at `version`; at 700 with two embedded images
// that its texts refer to.
class Drawing {
 public:
  explicit Drawing(int32_t version) : version_(version) {
    TJwwData doc = tools::MakeSamplePlan();
    if (version >= 700) AddImages(doc);
    for (int32_t i = 0; i < doc.EntBlockDefN; ++i)
      if (doc.EntBlockDef[i].ref_flag) names_.push_back(doc.EntBlockDef[i].strName);
    jww::ByteWriter header;
    doc.WriteHeader(header, version);
    headerSize_ = header.buffer().size();
    jww::ByteWriter out;
    written_ = doc.WriteToBuffer(out, version);
    bytes_ = out.buffer();
  }

  bool written() const { return written_; }
  const Bytes& bytes() const { return bytes_; }
  int32_t version() const { return version_; }

  // Offsets of the counts of the file: entity list, block-definition list,
  // every definition's members and, at 700, the images. Each holds a u16
  // count (the images an i32).
  struct Count {
    size_t offset;
    size_t width;
    const char* what;
  };
  std::vector<Count> Counts() const {
    std::vector<Count> counts{{headerSize_, 2, "entity count"}};
    const size_t list = Find(bytes_, Ascii("CDataList"));
    if (list != std::string::npos) {
      // Count, then the new-class record: 0xFFFF, schema, name length, name.
      counts.push_back({list - 6 - 2, 2, "block-definition count"});
      size_t from = list;
      for (const std::u16string& name : names_) {
        Bytes b = util::StrToAnsiBytes(name);
        b.insert(b.begin(), static_cast<uint8_t>(b.size()));
        const size_t at = Find(bytes_, b, from);
        if (at == std::string::npos) continue;
        counts.push_back({at + b.size(), 2, "member count"});
        from = at + b.size();
      }
    }
    if (version_ >= 700) {
      Bytes first = Ascii(
          "\x0b"
          "logo.png.gz");
      const size_t at = Find(bytes_, first, bytes_.size() > 5000 ? bytes_.size() - 5000 : 0);
      if (at != std::string::npos) counts.push_back({at - 4, 4, "image count"});
    }
    return counts;
  }

 private:
  void AddImages(TJwwData& doc) {
    folder_ = std::make_unique<TempDir>("brindle-damaged");
    doc.BindImageFolder = folder_->folder();
    doc.BindImageExp = doc.BindImageExr = true;
    int k = 0;
    for (const char* name : {"logo.png.gz", "site.bmp"}) {
      Bytes content(700 + 300 * k, static_cast<uint8_t>(0x40 + k));
      folder_->File(name, content);
      doc.BindImage.push_back({util::FromUtf8(name), static_cast<int32_t>(content.size()), false});
      ++k;
    }
    doc.BindImageN = static_cast<int32_t>(doc.BindImage.size());
    doc.AddEntPre();
    doc.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 40, 0, 3, 3, 0, 0, u"ＭＳ ゴシック",
                   u"^@BM%temp%logo.png.gz,40,30");
    doc.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 0, 50, 0, 90, 0, 3, 3, 0, 0, u"ＭＳ ゴシック",
                   u"^@BM%temp%site.bmp,40,30");
    doc.AddEntPost();
  }

  int32_t version_;
  std::unique_ptr<TempDir> folder_;
  size_t headerSize_ = 0;
  bool written_ = false;
  Bytes bytes_;
  std::vector<std::u16string> names_;
};

// A document set up as a conversion reads: images extracted into a folder.
bool ReadFile(const std::string& path, const TempDir& images, TJwwData& d) {
  d.BindImageFolder = images.folder();
  d.BindImageExp = d.BindImageExr = true;
  const bool ok = d.FileIn(path);
  d.BindImageDeleteFile();
  return ok;
}

// The offsets a drawing is cut at: every byte of its last 200 bytes and 150
// more spread over the rest, header included.
std::vector<size_t> CutOffsets(size_t size, uint32_t seed) {
  std::vector<size_t> cuts;
  for (size_t k = 1; k <= 200 && k <= size; ++k) cuts.push_back(size - k);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<size_t> any(0, size > 201 ? size - 201 : 0);
  for (int i = 0; i < 150; ++i) cuts.push_back(any(rng));
  return cuts;
}

}  // namespace

TEST(Damaged, WholeDrawingsOfEveryVersionRead) {
  TempDir tmp, images;
  for (int32_t v : kVersions) {
    Drawing d(v);
    ASSERT_TRUE(d.written()) << v;
    const std::string path = tmp.File("whole-" + std::to_string(v) + ".jww", d.bytes()).string();
    TJwwData doc;
    ASSERT_TRUE(ReadFile(path, images, doc)) << v << ": " << doc.LastReadError;
    EXPECT_GT(doc.EntBlockDefN, 2) << v;
    EXPECT_GT(doc.EntMojiN, 0) << v;
    if (v >= 700) {
      EXPECT_EQ(doc.BindImageN, 2);
    }
    // Nothing is left over and nothing is cut in a drawing written here.
    EXPECT_EQ(doc.ReadLog.Count(jww::finding::kBytesAfterEnd), 0u) << v;
    EXPECT_EQ(doc.ReadLog.Count(jww::finding::kTruncated), 0u) << v;
    EXPECT_EQ(doc.ReadLog.Count(jww::finding::kEntityDropped), 0u) << v;
  }
}

TEST(Damaged, EveryDrawingTheProjectWritesReadsToItsEnd) {
  TempDir tmp, images;
  std::string error;
  ASSERT_TRUE(tools::WriteSamplePlans(tmp.folder() + "plans", &error)) << error;
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(tmp.path() / "plans")) {
    TJwwData doc;
    EXPECT_TRUE(ReadFile(e.path().string(), images, doc)) << e.path() << doc.LastReadError;
    ++files;
  }
  EXPECT_GE(files, 5u);
  for (int32_t v : kVersions) {
    TJwwData bench = tools::MakeBenchDrawing(3000, 11);
    ASSERT_TRUE(bench.FileOut(tmp / ("bench-" + std::to_string(v) + ".jww"), v));
    TJwwData doc;
    EXPECT_TRUE(ReadFile(tmp / ("bench-" + std::to_string(v) + ".jww"), images, doc))
        << v << ": " << doc.LastReadError;
    EXPECT_EQ(doc.ReadLog.Count(jww::finding::kBytesAfterEnd), 0u);
  }
}

TEST(Damaged, ACutDrawingNeverReads) {
  TempDir tmp, images;
  for (int32_t v : kVersions) {
    Drawing d(v);
    ASSERT_TRUE(d.written());
    const Bytes& all = d.bytes();
    int failures = 0;
    for (size_t cut : CutOffsets(all.size(), static_cast<uint32_t>(v))) {
      const std::string path =
          tmp.File("cut.jww", Bytes(all.begin(), all.begin() + static_cast<long>(cut))).string();
      TJwwData doc;
      if (ReadFile(path, images, doc)) {
        ADD_FAILURE() << "version " << v << " cut at " << cut << " of " << all.size()
                      << " was read";
        if (++failures > 5) break;
        continue;
      }
      EXPECT_FALSE(doc.LastReadError.empty());
      // A cut after the header is always named where it happened.
      if (cut >= d.Counts()[0].offset + 2) {
        const bool named = doc.ReadLog.Count(jww::finding::kTruncated) > 0 ||
                           doc.ReadLog.Count(jww::finding::kEntityDropped) > 0;
        EXPECT_TRUE(named) << "version " << v << " cut at " << cut;
      }
    }
  }
}

TEST(Damaged, AFlippedCountNeverReads) {
  TempDir tmp, images;
  for (int32_t v : kVersions) {
    Drawing d(v);
    ASSERT_TRUE(d.written());
    const std::vector<Drawing::Count> counts = d.Counts();
    // The entity count, the definition count, the members of every
    // definition and, at 700, the images.
    ASSERT_GE(counts.size(), v >= 700 ? 4u : 3u) << v;
    for (const Drawing::Count& c : counts) {
      int64_t value = 0;
      std::memcpy(&value, d.bytes().data() + c.offset, c.width);
      std::vector<int64_t> variants = {value + 1, value - 1, value ^ 1, value ^ 0x10, 0};
      if (c.width == 2) {
        variants.push_back(0xFFFE);
      } else {
        variants.push_back(-1);
        variants.push_back(0x7FFFFFFF);
      }
      for (int64_t changed : variants) {
        if (changed == value || changed < (c.width == 2 ? 0 : INT32_MIN)) continue;
        Bytes b = d.bytes();
        std::memcpy(b.data() + c.offset, &changed, c.width);
        TJwwData doc;
        const std::string path = tmp.File("flip.jww", b).string();
        EXPECT_FALSE(ReadFile(path, images, doc))
            << "version " << v << ": " << c.what << " at " << c.offset << " changed from " << value
            << " to " << changed;
      }
    }
  }
}

TEST(Damaged, ACutOrFlippedDrawingIsNeverConverted) {
  TempDir tmp;
  for (int32_t v : {220, 420, 700}) {
    Drawing d(v);
    ASSERT_TRUE(d.written());
    const Bytes& all = d.bytes();
    std::vector<Bytes> damaged;
    for (size_t k : {1, 7, 64, 199})
      damaged.emplace_back(all.begin(), all.end() - static_cast<long>(k));
    Bytes flipped = all;
    flipped[d.Counts()[0].offset] ^= 1;
    damaged.push_back(flipped);
    Bytes longer = all;
    longer.insert(longer.end(), {0, 0, 0, 0});
    damaged.push_back(longer);
    int n = 0;
    for (const Bytes& b : damaged) {
      const fs::path out = tmp.path() / ("out-" + std::to_string(v) + "-" + std::to_string(n));
      fs::create_directories(out);
      const std::string src = tmp.File("src.jww", b).string();
      app::ConvertResult r = app::ConvertFile(src, (out / "src.jww").string());
      EXPECT_FALSE(r.ok) << "version " << v << " damage " << n;
      EXPECT_TRUE(r.output.empty());
      EXPECT_TRUE(fs::is_empty(out)) << "version " << v << " damage " << n << " left a file";
      ++n;
    }
  }
}

// ---- what the source is ----

TEST(DamagedSources, AFifoIsRefusedWithoutWaiting) {
  TempDir tmp;
  const std::string fifo = tmp / "pipe.jww";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  // Without a writer, an ordinary open of a FIFO waits for ever; this test
  // would hang rather than fail.
  TJwwData d;
  std::error_code cause;
  EXPECT_FALSE(d.FileCheck(fifo, cause));
  EXPECT_EQ(cause, jww::FileError::kNotRegularFile);
  EXPECT_FALSE(d.FileIn(fifo));
  EXPECT_EQ(d.LastReadCause, jww::FileError::kNotRegularFile);
  EXPECT_FALSE(d.FilePrevIn(fifo, 10));
  Bytes bytes;
  EXPECT_FALSE(jww::ReadFileBytes(fifo, bytes, &cause));
  EXPECT_EQ(cause.message(), "Not a regular file");

  // A FIFO with a writer that never writes does not stall a read either.
  const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  EXPECT_FALSE(d.FileIn(fifo));
  ::close(writer);
}

TEST(DamagedSources, FailedOpensNameTheSystemsReason) {
  TempDir tmp;
  TJwwData d;
  std::error_code cause;
  EXPECT_FALSE(d.FileCheck(tmp / "missing.jww", cause));
  EXPECT_EQ(cause, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(d.FileIn(tmp / "missing.jww"));
  EXPECT_EQ(d.LastReadCause, std::errc::no_such_file_or_directory);
  EXPECT_EQ(d.LastReadError, "File I/O Error");

  fs::create_directories(tmp.path() / "folder.jww");
  EXPECT_FALSE(d.FileIn(tmp / "folder.jww"));
  EXPECT_EQ(d.LastReadCause, std::errc::is_a_directory);
  EXPECT_FALSE(d.FileHeaderIn(tmp / "folder.jww"));
  EXPECT_EQ(d.LastReadCause, std::errc::is_a_directory);

  // A file that was read but is no drawing has no system reason.
  const std::string junk = tmp.File("junk.jww", Bytes(100, 0x41)).string();
  EXPECT_FALSE(d.FileIn(junk));
  EXPECT_FALSE(d.LastReadCause);
  EXPECT_TRUE(d.FileCheck(junk, cause) == false && !cause);

  if (::geteuid() == 0) GTEST_SKIP() << "running as root: permissions are not enforced";
  const std::string locked = tmp.File("locked.jww", Drawing(600).bytes()).string();
  fs::permissions(locked, fs::perms::none);
  EXPECT_FALSE(d.FileCheck(locked, cause));
  EXPECT_EQ(cause, std::errc::permission_denied);
  EXPECT_FALSE(d.FileIn(locked));
  EXPECT_EQ(d.LastReadCause.message(), std::generic_category().message(EACCES));
}

TEST(DamagedCorpus, EveryRealDrawingEndsWhereItsListsEnd) {
  const auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  TempDir images;
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(*dir)) {
    if (e.path().extension() != ".jww") continue;
    TJwwData doc;
    EXPECT_TRUE(ReadFile(e.path().string(), images, doc)) << e.path() << ": " << doc.LastReadError;
    EXPECT_EQ(doc.ReadLog.Count(jww::finding::kBytesAfterEnd), 0u) << e.path();
    EXPECT_EQ(doc.ReadLog.Count(jww::finding::kOutOfRange), 0u) << e.path();
    ++files;
  }
  EXPECT_GT(files, 0u);
}

// No value range of the reader refuses a drawing this project makes: the
// sample plans in every version, and the benchmark drawings in the versions
// they are written in.
TEST(DamagedSamples, NoDrawingOfTheProjectIsOutOfRange) {
  TempDir dir;
  ASSERT_TRUE(tools::WriteSamplePlans(dir.path().string(), nullptr));
  std::vector<std::vector<uint8_t>> drawings;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(jww::ReadFileBytes(e.path().string(), bytes));
    drawings.push_back(std::move(bytes));
  }
  for (jww::TJwwData made : {tools::MakeBenchDrawing(3000, 1), tools::MakeSxfBenchDrawing(15, 20, 300, 2)}) {
    for (int version : {230, 420, 600, 700}) {
      jww::ByteWriter out;
      made.SetFileOutOption(version >= 700 ? 32 : 0);
      ASSERT_TRUE(made.WriteToBuffer(out, version));
      drawings.push_back(out.buffer());
    }
  }
  for (const std::vector<uint8_t>& bytes : drawings) {
    TJwwData doc;
    doc.BindImageExr = true;
    EXPECT_TRUE(doc.ReadFromBuffer(bytes)) << doc.LastReadError;
    EXPECT_EQ(doc.ReadLog.Count(jww::finding::kOutOfRange), 0u)
        << doc.ReadLog.First(jww::finding::kOutOfRange)->detail;
  }
}
