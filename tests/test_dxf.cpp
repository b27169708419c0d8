// SPDX-License-Identifier: GPL-3.0-or-later
// The DXF writer's own rules; what the files say is checked by ezdxf
// (tests/dxf_check.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <utility>

#include "dxf/export.h"
#include "dxf/group_writer.h"
#include "tools/sample_drawings.h"

namespace {

using dxf::GroupWriter;
using dxf::Version;

TEST(DxfGroups, StringsAreEncodedForTheVersion) {
  struct Case {
    Version v;
    std::u16string in;
    std::string out;
  } cases[] = {
      {Version::kR2018, u"壁", "\xE5\xA3\x81"},
      {Version::kR2000, u"壁", "\x95\xC7"},
      // Outside code page 932: escaped, the rest kept.
      {Version::kR2000, u"a\U0001F600壁", "a\\U+1F600\x95\xC7"},
      {Version::kR2000, u"€", "\\U+20AC"},
      {Version::kR2018, u"a\nb", "a b"},  // a value holds no line break
  };
  for (const Case& c : cases) {
    GroupWriter w(c.v);
    w.Str(1, c.in);
    EXPECT_EQ(w.data(), "1\n" + c.out + "\n");
  }
}

TEST(DxfGroups, NumbersAreExactAndAlwaysReal) {
  GroupWriter w(Version::kR2018);
  w.Real(10, 1);
  w.Real(20, -0.0);
  w.Real(30, 0.1);
  w.Real(40, std::numeric_limits<double>::infinity());
  w.Handle(5, 0x2AF);
  EXPECT_EQ(w.data(), "10\n1.0\n20\n0.0\n30\n0.1\n40\n0.0\n5\n2AF\n");
}

TEST(DxfColours, NearestIndexAndLineweight) {
  EXPECT_EQ(dxf::NearestAci(0xFF0000), 1);
  EXPECT_EQ(dxf::NearestAci(0x00FFFF), 4);
  EXPECT_EQ(dxf::NearestAci(0x000000), 7);
  EXPECT_EQ(dxf::NearestAci(0x7F0000), 16);
  EXPECT_EQ(dxf::NearestLineweight(0), 0);
  EXPECT_EQ(dxf::NearestLineweight(0.26), 25);
  EXPECT_EQ(dxf::NearestLineweight(0.5), 50);
  EXPECT_EQ(dxf::NearestLineweight(5), 211);
}

// A file is written a buffer at a time (the full ones on a thread of their
// own) and its $HANDSEED mended at the end: the bytes equal those made in
// memory, and the seed lies past every handle. The generated drawing's DXF
// spans several buffers, the plan's one.
TEST(DxfExport, FileEqualsMemoryAndHandSeedIsMended) {
  const jww::TJwwData plan = tools::MakeSamplePlan(), large = tools::MakeBenchDrawing(50000, 7);
  for (auto [doc, v] : {std::pair{&plan, Version::kR2000}, std::pair{&plan, Version::kR2018},
                        std::pair{&large, Version::kR2018}}) {
    dxf::ExportOptions o;
    o.version = v;
    const std::string memory = dxf::WriteDxf(*doc, o, nullptr);
    if (doc == &large) {
      EXPECT_GT(memory.size(), 8u << 20);  // more than two 4 MB buffers
    }
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(dxf::WriteDxf(*doc, o, f, nullptr));
    std::string file(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    ASSERT_EQ(std::fread(file.data(), 1, file.size(), f), file.size());
    std::fclose(f);
    EXPECT_EQ(file, memory);
    const size_t at = memory.find("$HANDSEED\n5\n");
    ASSERT_NE(at, std::string::npos);
    const unsigned long long seed = std::stoull(memory.substr(at + 12, 16), nullptr, 16);
    // Every handle (codes 5 and 105, read as pairs of lines) lies below it.
    unsigned long long highest = 0;
    std::istringstream lines(memory);
    std::string code, value;
    while (std::getline(lines, code) && std::getline(lines, value))
      if ((code == "5" || code == "105") && value.size() < 16)
        highest = std::max(highest, std::stoull(value, nullptr, 16));
    EXPECT_GT(seed, 0x20u);
    EXPECT_GT(seed, highest);
  }
}

}  // namespace
