// SPDX-License-Identifier: GPL-3.0-or-later
// Comparison of what is not an entity: header and tables, block definitions,
// images (see diff.h).
#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <tuple>

#include "jww/archive.h"
#include "jww/diff.h"
#include "jww/dump.h"
#include "jww/queries.h"
#include "util/encoding.h"

namespace jww {
namespace {

// The header and tables as (field, value) pairs, by the names of the dump:
// "Enthd.nZumen", "EntLgrp[3].adScale"; a field repeated on several lines
// (the zoom views) is numbered "Enthd.dZoomJumpBairitsu[2]".
using Fields = std::map<std::string, std::string>;

size_t ValueEnd(std::string_view line, size_t from) {
  if (from < line.size() && line[from] == '"') {
    for (size_t i = from + 1; i < line.size(); ++i) {
      if (line[i] == '\\')
        ++i;
      else if (line[i] == '"')
        return i + 1;
    }
    return line.size();
  }
  const size_t sp = line.find(' ', from);
  return sp == line.npos ? line.size() : sp;
}

Fields ParseTables(const std::string& dump) {
  Fields out;
  std::map<std::string, int> seen;
  size_t pos = 0;
  while (pos < dump.size()) {
    size_t eol = dump.find('\n', pos);
    if (eol == dump.npos) eol = dump.size();
    const std::string_view line(dump.data() + pos, eol - pos);
    pos = eol + 1;
    if (line.empty() || line[0] == '[') continue;
    const size_t headEnd = line.find(' ');
    if (headEnd == line.npos) continue;
    const std::string head(line.substr(0, headEnd));
    size_t i = headEnd + 1;
    while (i < line.size()) {
      const size_t eq = line.find('=', i);
      if (eq == line.npos) break;
      const size_t end = ValueEnd(line, eq + 1);
      std::string key = head + "." + std::string(line.substr(i, eq - i));
      const int n = seen[key]++;
      if (n > 0) key += "[" + std::to_string(n) + "]";
      out.emplace(std::move(key), std::string(line.substr(eq + 1, end - eq - 1)));
      i = end + 1;
    }
  }
  return out;
}

std::string Unquoted(const std::string& v) {
  return v.size() >= 2 && v.front() == '"' && v.back() == '"' ? v.substr(1, v.size() - 2) : v;
}

// The tables of `src` after a trip through format `version`: what that
// version cannot store comes back changed.
Fields ThroughVersion(const TJwwData& src, int32_t version) {
  TJwwData t;
  t.Enthd = src.Enthd;
  t.EntLgrp = src.EntLgrp;
  t.EntLay = src.EntLay;
  t.EntCol = src.EntCol;
  t.EntLtp1 = src.EntLtp1;
  t.EntLtp2 = src.EntLtp2;
  t.EntLtp3 = src.EntLtp3;
  t.EntColS = src.EntColS;
  t.EntLtpS = src.EntLtpS;
  t.EntMoj = src.EntMoj;
  t.MojiEncode = src.MojiEncode;
  ByteWriter w;
  if (!t.WriteHeader(w, version)) return {};
  TJwwData back;
  ByteReader in(w.buffer());
  if (!back.ReadHeader(in)) return {};
  return ParseTables(DumpTables(back));
}

std::set<std::string> LostThrough(const TJwwData& src, const Fields& own, int32_t version) {
  std::set<std::string> lost;
  const Fields back = ThroughVersion(src, version);
  for (const auto& [key, value] : own) {
    auto it = back.find(key);
    if (it == back.end() || it->second != value) lost.insert(key);
  }
  return lost;
}

// "EntLgrp[3].adScale" → table "EntLgrp", index 3, field "adScale".
bool SplitTableKey(const std::string& key, std::string_view table, int& index, std::string& field) {
  if (key.compare(0, table.size() + 1, std::string(table) + "[") != 0) return false;
  const size_t close = key.find("].", table.size());
  if (close == key.npos) return false;
  index = std::stoi(key.substr(table.size() + 1, close - table.size() - 1));
  field = key.substr(close + 2);
  return true;
}

HeaderDiff Describe(const std::string& key, const std::string& before, const std::string& after) {
  HeaderDiff h;
  h.name = key;
  h.before = before;
  h.after = after;
  int index = 0;
  std::string field;
  if (key == "Enthd.jwVer") {
    h.field = HeaderField::kVersion;
  } else if (key == "Enthd.nZumen") {
    h.field = HeaderField::kSheet;
    h.before = PaperName(std::stoi(before));
    h.after = PaperName(std::stoi(after));
  } else if (key == "Enthd.strMemo") {
    h.field = HeaderField::kMemo;
  } else if (key == "Enthd.nWriteGLay") {
    h.field = HeaderField::kWriteGroup;
  } else if (SplitTableKey(key, "EntLgrp", index, field)) {
    h.group = index;
    if (field == "aStrGLayName") h.field = HeaderField::kGroupName;
    if (field == "anGLay") h.field = HeaderField::kGroupState;
    if (field == "adScale") h.field = HeaderField::kGroupScale;
    if (field == "anGLayProtect") h.field = HeaderField::kGroupProtect;
  } else if (SplitTableKey(key, "EntLay", index, field)) {
    h.group = index / 16;
    h.layer = index % 16;
    if (field == "aStrLayName") h.field = HeaderField::kLayerName;
    if (field == "aanLay") h.field = HeaderField::kLayerState;
    if (field == "aanLayProtect") h.field = HeaderField::kLayerProtect;
  }
  if (h.field == HeaderField::kMemo || h.field == HeaderField::kGroupName ||
      h.field == HeaderField::kLayerName) {
    h.before = Unquoted(h.before);
    h.after = Unquoted(h.after);
  }
  return h;
}

// The k-th definition of a name pairs with the k-th of the same name.
std::map<std::pair<std::u16string, int>, int32_t> DefinitionsByName(const TJwwData& doc) {
  std::map<std::pair<std::u16string, int>, int32_t> out;
  std::map<std::u16string, int> seen;
  const int32_t n =
      std::min<int32_t>(doc.EntBlockDefN, static_cast<int32_t>(doc.EntBlockDef.size()));
  for (int32_t i = 0; i < n; ++i) {
    const std::u16string& name = doc.EntBlockDef[i].strName;
    out.emplace(std::make_pair(name, seen[name]++), i);
  }
  return out;
}

}  // namespace

void DiffHeader(const TJwwData& before, const TJwwData& after, DrawingDiff& out) {
  const Fields b = ParseTables(DumpTables(before)), a = ParseTables(DumpTables(after));
  // What each side's values become when written in the other's version
  // (the writer's repairs of that version included).
  std::set<std::string> lost = LostThrough(before, b, after.Enthd.jwVer);
  const std::set<std::string> back = LostThrough(after, a, before.Enthd.jwVer);
  lost.insert(back.begin(), back.end());
  for (const auto& [key, value] : b) {
    // The counts of the lists, not fields of the header: the entities say it.
    if (key == "Enthd.n1" || key == "Enthd.n2") continue;
    auto it = a.find(key);
    const std::string other = it == a.end() ? std::string() : it->second;
    if (other == value) continue;
    HeaderDiff h = Describe(key, value, other);
    h.notCarried = h.field != HeaderField::kVersion && lost.count(key) != 0;
    out.header.push_back(std::move(h));
  }
  std::stable_sort(
      out.header.begin(), out.header.end(), [](const HeaderDiff& x, const HeaderDiff& y) {
        return std::tie(x.field, x.group, x.layer) < std::tie(y.field, y.group, y.layer);
      });
}

void DiffBlockDefinitions(const TJwwData& before, const TJwwData& after, const DiffOptions& options,
                          DrawingDiff& out) {
  const auto b = DefinitionsByName(before), a = DefinitionsByName(after);
  for (const auto& [key, i] : b) {
    BlockDiff d;
    d.name = util::ToUtf8(key.first);
    auto it = a.find(key);
    if (it == a.end()) {
      d.change = EntityChange::kRemoved;
    } else {
      const DiffCounts c =
          DiffMembers(before.EntBlockDef[i], after.EntBlockDef[it->second], before, after, options);
      if (c.removed + c.added + c.changed == 0) continue;
      d.change = EntityChange::kChanged;
      d.removed = c.removed;
      d.added = c.added;
      d.changed = c.changed;
    }
    out.blocks.push_back(std::move(d));
  }
  for (const auto& [key, i] : a) {
    if (b.count(key) != 0) continue;
    out.blocks.push_back({util::ToUtf8(key.first), EntityChange::kAdded});
  }
  std::stable_sort(out.blocks.begin(), out.blocks.end(),
                   [](const BlockDiff& x, const BlockDiff& y) { return x.name < y.name; });
}

void DiffImages(const TJwwData& before, const TJwwData& after, DrawingDiff& out) {
  auto list = [](const TJwwData& doc) {
    std::map<std::u16string, int32_t> m;
    const int32_t n = std::min<int32_t>(doc.BindImageN, static_cast<int32_t>(doc.BindImage.size()));
    for (int32_t i = 0; i < n; ++i) m.emplace(doc.BindImage[i].Fname, doc.BindImage[i].Fsize);
    return m;
  };
  const auto b = list(before), a = list(after);
  for (const auto& [name, size] : b) {
    auto it = a.find(name);
    if (it != a.end() && it->second == size) continue;
    out.images.push_back({util::ToUtf8(name),
                          it == a.end() ? EntityChange::kRemoved : EntityChange::kChanged, size,
                          it == a.end() ? 0 : it->second});
  }
  for (const auto& [name, size] : a)
    if (b.count(name) == 0)
      out.images.push_back({util::ToUtf8(name), EntityChange::kAdded, 0, size});
}

}  // namespace jww
