// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/info.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "app/convert.h"
#include "app/i18n.h"
#include "app/reasons.h"
#include "app/json_names.h"
#include "jww/document.h"
#include "jww/extents.h"
#include "jww/read_findings.h"
#include "jww/sxf_explode.h"
#include "jww/sxf_plan.h"
#include "util/encoding.h"
#include "util/text.h"

namespace app {

namespace {

using jww::TJwwData;

template <typename T>
std::span<const T> Counted(const std::vector<T>& v, int32_t n) {
  return {v.data(), std::min(v.size(), static_cast<size_t>(std::max(n, 0)))};
}

// The scales the explosion gives the figures' layer groups, by exploding a
// copy: a group takes 1 / the ratio of its figure's last placement in drawing
// order, and a nested placement that an earlier figure re-placed can be that
// one. Above `maxCopies` the scale of the last stored placement stands in.
// Copies info makes to learn the groups' scales: a tenth of the conversion's
// default bound keeps info light on a huge drawing.
constexpr int64_t kInfoExplodeCopies = kDefaultMaxCopies / 10;

std::vector<double> ExplodedGroupScales(const TJwwData& doc, const jww::SxfPlan& plan,
                                        int64_t maxCopies) {
  std::vector<double> scales(16, 0.0);
  if (plan.copies <= maxCopies) {
    TJwwData copy = doc;
    jww::ExplodeReport report;
    jww::DataTransJWW2(copy, report);
    for (size_t g = 1; g < scales.size() && g < copy.EntLgrp.size(); ++g)
      scales[g] = copy.EntLgrp[g].adScale;
    return scales;
  }
  for (const jww::SxfFigurePlan& f : plan.figures) {
    if (f.group <= 0 || f.group >= 16) continue;
    double& scale = scales[static_cast<size_t>(f.group)];
    scale = 1.0;
    for (const jww::TEntJwwBlock& b : Counted(doc.EntBlock, doc.EntBlockN)) {
      if (b.nNumber == f.number)
        scale = std::fabs(b.dBairitsuX) < 1e-8 ? 1.0 : std::fabs(1.0 / b.dBairitsuX);
    }
  }
  return scales;
}

void DescribePlan(const TJwwData& doc, SxfPlanInfo& plan) {
  const jww::SxfPlan p = jww::PlanSxfExplosion(doc);
  const std::vector<double> scales = ExplodedGroupScales(doc, p, kInfoExplodeCopies);
  for (const jww::SxfFigurePlan& f : p.figures) {
    if (f.group == 0) {
      plan.left.push_back(util::ToUtf8(f.name));
      continue;
    }
    plan.figures.push_back({util::ToUtf8(f.name), f.placements, f.group, f.copies, f.kept,
                            scales[static_cast<size_t>(f.group)]});
  }
  plan.placements = p.placements;
  plan.copies = p.copies;
}

void CollectFindings(const jww::ReadFindings& log, DrawingInfo& info) {
  for (const jww::ReadFinding& f : log) {
    info.findings.push_back({f.code, std::string(jww::SectionName(f.where.section)),
                             f.where.definition, f.where.index, f.where.offset, f.detail,
                             f.amount, f.field, f.value});
  }
  info.findingsOmitted = log.omitted();
}

std::optional<InfoBox> BoxOf(const jww::MinMaxBox& b) {
  if (!b.seeded) return std::nullopt;
  return InfoBox{b.minX, b.minY, b.maxX, b.maxY};
}

void DescribeLayers(const TJwwData& doc, const jww::GroupExtents& boxes, DrawingInfo& info) {
  const jww::TLayerUse use = jww::GetLayerUse(doc);
  for (int32_t g = 0; g < jww::kLayerGroups; ++g) {
    int32_t inGroup = 0;
    for (int32_t l = 0; l < 16; ++l) inGroup += use[g * 16 + l];
    if (inGroup == 0) continue;
    LayerGroupInfo gi;
    gi.group = g;
    gi.entities = inGroup;
    if (static_cast<size_t>(g) < doc.EntLgrp.size()) {
      const jww::TEntJwwLayerGroup& lg = doc.EntLgrp[g];
      gi.name = util::ToUtf8(lg.aStrGLayName);
      gi.scale = lg.adScale;
      gi.state = lg.anGLay;
      gi.locked = lg.anGLayProtect != 0;
    }
    gi.sheetExtents = BoxOf(boxes[g]);
    if (gi.sheetExtents) {
      gi.fullWidth = (gi.sheetExtents->maxX - gi.sheetExtents->minX) * gi.scale;
      gi.fullHeight = (gi.sheetExtents->maxY - gi.sheetExtents->minY) * gi.scale;
    }
    info.groups.push_back(std::move(gi));
    for (int32_t l = 0; l < 16; ++l) {
      const int32_t n = use[g * 16 + l];
      if (n == 0) continue;
      LayerInfo li;
      li.group = g;
      li.layer = l;
      li.entities = n;
      const size_t k = static_cast<size_t>(g * 16 + l);
      if (k < doc.EntLay.size()) {
        li.name = util::ToUtf8(doc.EntLay[k].aStrLayName);
        li.state = doc.EntLay[k].aanLay;
        li.locked = doc.EntLay[k].aanLayProtect != 0;
      }
      info.layers.push_back(std::move(li));
    }
  }
}

void DescribeBlocks(const TJwwData& doc, DrawingInfo& info) {
  const auto defs = Counted(doc.EntBlockDef, doc.EntBlockDefN);
  std::vector<int32_t> placed(defs.size(), 0);
  for (const jww::TEntJwwBlockTree& node : Counted(doc.EntBlockTree, doc.EntBlockTreeN)) {
    if (node.defno >= 0 && static_cast<size_t>(node.defno) < placed.size()) ++placed[node.defno];
  }
  for (size_t i = 0; i < defs.size(); ++i) {
    const jww::TEntJwwBlockDef& d = defs[i];
    BlockInfo b;
    b.index = static_cast<int32_t>(i);
    b.number = d.nNumber;
    b.name = util::ToUtf8(d.strName);
    b.members = d.N;
    b.placements = placed[i];
    b.sxf = jww::IsSxfFigureName(d.strName);
    info.blocks.push_back(std::move(b));
  }
}

// ---------------------------------------------------------------- text

std::string Num(double v, int digits = 3) {
  return util::ToUtf8(util::FormatGrouped(digits, v, u".", u""));
}

std::string Int(int64_t v) { return util::ToUtf8(util::IntToText(v)); }

// A table whose columns are padded to the widest cell; `right` columns are
// aligned to the right (numbers).
class TextTable {
 public:
  explicit TextTable(std::vector<bool> right) : right_(std::move(right)) {}
  void Row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
  // Rows after the heading.
  size_t body() const { return rows_.empty() ? 0 : rows_.size() - 1; }

  std::string Text(const std::string& indent) const {
    std::vector<int> width(right_.size(), 0);
    for (const auto& r : rows_)
      for (size_t c = 0; c < r.size() && c < width.size(); ++c)
        width[c] = std::max(width[c], DisplayWidth(r[c]));
    std::string out;
    for (const auto& r : rows_) {
      std::string line = indent;
      for (size_t c = 0; c < r.size() && c < width.size(); ++c) {
        const std::string pad(static_cast<size_t>(width[c] - DisplayWidth(r[c])), ' ');
        if (c > 0) line += "  ";
        line += right_[c] ? pad + r[c] : r[c] + pad;
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out += line + "\n";
    }
    return out;
  }

 private:
  std::vector<bool> right_;
  std::vector<std::vector<std::string>> rows_;
};

std::string StateText(int32_t state) {
  switch (state) {
    case 0:
      return Tr("hidden");
    case 1:
      return Tr("shown");
    case 2:
      return Tr("editable");
    case 3:
      return Tr("current");
    default:
      return Int(state);
  }
}

std::string StateWithLock(int32_t state, bool locked) {
  return locked ? StateText(state) + ", " + Tr("protected") : StateText(state);
}

std::string ScaleText(double scale) { return "1:" + util::ToUtf8(util::FormatShortest(scale)); }

std::string BoxText(const InfoBox& b) {
  return "(" + Num(b.minX) + ", " + Num(b.minY) + ") – (" + Num(b.maxX) + ", " + Num(b.maxY) +
         ")  " + Num(b.maxX - b.minX) + " × " + Num(b.maxY - b.minY);
}

void Section(std::string& out, const char* title, const TextTable& t, size_t rows) {
  out += std::string("\n") + Tr(title) + "\n";
  out += rows == 0 ? "  " + std::string(Tr("none")) + "\n" : t.Text("  ");
}

// With a heading row above the rows.
void Section(std::string& out, const char* title, const TextTable& t) {
  Section(out, title, t, t.body());
}

// The memo's lines, each on a row of its own.
std::vector<std::string> MemoLines(const std::string& memo) {
  std::vector<std::string> lines{""};
  for (size_t i = 0; i < memo.size(); ++i) {
    if (memo[i] == '\r' && i + 1 < memo.size() && memo[i + 1] == '\n') continue;
    if (memo[i] == '\r' || memo[i] == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += memo[i];
    }
  }
  return lines;
}

void SummaryText(const DrawingInfo& info, std::string& out) {
  TextTable t({false, false});
  t.Row({Tr("Format version"), Int(info.version)});
  t.Row({Tr("Strings"), info.utf16 ? Tr("UTF-16") : Tr("code page 932 (Shift_JIS)")});
  const std::vector<std::string> memo = MemoLines(info.memo);
  for (size_t i = 0; i < memo.size(); ++i) t.Row({i == 0 ? Tr("Memo") : "", memo[i]});
  t.Row({Tr("Paper"),
         TrFormat("{} (code {}, {} × {} mm)", {info.paperName, Int(info.paperCode),
                                               Num(info.paper.px, 0), Num(info.paper.py, 0)})});
  t.Row({Tr("Extents"), info.extents ? BoxText(*info.extents) : Tr("nothing to measure")});
  out += t.Text("  ");
}

void CountsText(const DrawingInfo& info, std::string& out) {
  const jww::TElementCounts& c = info.counts;
  TextTable t({false, true, true});
  t.Row({Tr("kind"), Tr("top level"), Tr("in placed blocks")});
  t.Row({Tr("lines"), Int(c.n1), Int(c.n1a)});
  t.Row({Tr("arcs and circles"), Int(c.n2), Int(c.n2a)});
  t.Row({Tr("points"), Int(c.n3), Int(c.n3a)});
  t.Row({Tr("temporary points"), Int(c.n4), Int(c.n4a)});
  t.Row({Tr("texts"), Int(c.n5), Int(c.n5a)});
  t.Row({Tr("dimensions"), Int(c.n6), Int(c.n6a)});
  t.Row({Tr("solids"), Int(c.n7), Int(c.n7a)});
  t.Row({Tr("block insertions"), Int(c.n8), "-"});
  Section(out, TrNoop("Entities"), t);
}

void LayersText(const DrawingInfo& info, std::string& out) {
  TextTable g({true, false, false, false, true, false, false});
  g.Row({Tr("group"), Tr("name"), Tr("scale"), Tr("state"), Tr("entities"), Tr("on the sheet (mm)"),
         Tr("full size (mm)")});
  for (const LayerGroupInfo& x : info.groups) {
    const bool measured = x.sheetExtents.has_value();
    g.Row({Int(x.group), x.name, ScaleText(x.scale), StateWithLock(x.state, x.locked),
           Int(x.entities), measured ? BoxText(*x.sheetExtents) : "-",
           measured ? Num(x.fullWidth, 1) + " × " + Num(x.fullHeight, 1) : "-"});
  }
  Section(out, TrNoop("Layer groups in use"), g);
  TextTable l({true, true, false, false, true});
  l.Row({Tr("group"), Tr("layer"), Tr("name"), Tr("state"), Tr("entities")});
  for (const LayerInfo& x : info.layers) {
    l.Row({Int(x.group), Int(x.layer), x.name, StateWithLock(x.state, x.locked), Int(x.entities)});
  }
  Section(out, TrNoop("Layers in use"), l);
}

void BlocksText(const DrawingInfo& info, std::string& out) {
  TextTable t({true, true, false, true, true, false});
  t.Row({"#", Tr("number"), Tr("name"), Tr("members"), Tr("placed"), Tr("kind")});
  for (const BlockInfo& b : info.blocks) {
    t.Row({Int(b.index), Int(b.number), b.name, Int(b.members), Int(b.placements),
           b.sxf ? Tr("SXF figure") : Tr("block")});
  }
  Section(out, TrNoop("Block definitions"), t);
}

void PlanText(const DrawingInfo& info, std::string& out) {
  TextTable t({false, true, true, true, true, false});
  t.Row({Tr("figure"), Tr("placements"), Tr("layer group"), Tr("scale"), Tr("copies"), ""});
  for (const FigurePlanInfo& f : info.plan.figures) {
    t.Row({f.name, Int(f.placements), Int(f.group), ScaleText(f.scale), Int(f.copies),
           f.kept ? Tr("definition kept: still placed by a block that stays") : ""});
  }
  Section(out, TrNoop("SXF figures and what the conversion does"), t);
  if (t.body() > 0) {
    out += "  " +
           TrFormat("{} replaced by {}",
                    {TrPlural("{} placement", "{} placements",
                              static_cast<unsigned long>(info.plan.placements),
                              {Int(info.plan.placements)}),
                     TrPlural("{} copy", "{} copies", static_cast<unsigned long>(info.plan.copies),
                              {Int(info.plan.copies)})}) +
           "\n";
  }
  for (const std::string& name : info.plan.left)
    out += "  " + TrFormat("{} stays a block: only 15 layer groups take figures", {name}) + "\n";
}

void ImagesText(const DrawingInfo& info, std::string& out) {
  TextTable t({false, true});
  t.Row({Tr("name"), Tr("bytes")});
  for (const ImageInfo& i : info.images) t.Row({i.name, Int(i.size)});
  Section(out, TrNoop("Embedded images"), t);
}

void FindingsText(const DrawingInfo& info, std::string& out) {
  TextTable t({false, false, false});
  t.Row({Tr("code"), Tr("where"), Tr("detail")});
  for (const Finding& f : info.findings)
    t.Row({f.code, FindingPlace(f), TranslateCoreError(f.detail)});
  Section(out, TrNoop("Audit"), t);
  if (info.findingsOmitted > 0) {
    out +=
        "  " +
        TrFormat("{} more findings not listed", {Int(static_cast<int64_t>(info.findingsOmitted))}) +
        "\n";
  }
}

// ---------------------------------------------------------------- JSON

using Json = nlohmann::ordered_json;

Json BoxJson(const std::optional<InfoBox>& b) {
  if (!b) return nullptr;
  return Json{{"minX", b->minX}, {"minY", b->minY}, {"maxX", b->maxX}, {"maxY", b->maxY}};
}

Json CountsJson(const jww::TElementCounts& c, bool inBlocks) {
  Json j{{"lines", inBlocks ? c.n1a : c.n1},  {"arcs", inBlocks ? c.n2a : c.n2},
         {"points", inBlocks ? c.n3a : c.n3}, {"temporaryPoints", inBlocks ? c.n4a : c.n4},
         {"texts", inBlocks ? c.n5a : c.n5},  {"dimensions", inBlocks ? c.n6a : c.n6},
         {"solids", inBlocks ? c.n7a : c.n7}};
  if (!inBlocks) j["blockInsertions"] = c.n8;
  return j;
}

}  // namespace

int DisplayWidth(std::string_view utf8) {
  const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
  const auto n = static_cast<int32_t>(utf8.size());
  int width = 0;
  for (int32_t i = 0; i < n;) {
    UChar32 c = 0;
    U8_NEXT(p, i, n, c);
    if (c < 0) {
      ++width;  // shown as one replacement character
      continue;
    }
    const int8_t cat = u_charType(c);
    if (cat == U_NON_SPACING_MARK || cat == U_ENCLOSING_MARK || c == 0x200B) continue;
    const auto ea = static_cast<UEastAsianWidth>(u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH));
    width += ea == U_EA_WIDE || ea == U_EA_FULLWIDTH ? 2 : 1;
  }
  return width;
}

DrawingInfo DescribeDrawing(jww::TJwwData& doc, const std::string& file, bool audit) {
  DrawingInfo info;
  info.file = file;
  info.version = doc.Enthd.jwVer;
  info.utf16 = doc.MojiEncode;
  info.memo = util::ToUtf8(doc.Enthd.strMemo);
  info.paperCode = doc.Enthd.nZumen;
  info.paper = jww::GetPaperSize(doc);
  info.paperName = jww::PaperName(doc.Enthd.nZumen);
  jww::GroupExtents groups{};
  info.extents = BoxOf(jww::MeasureExtents(doc, &groups));
  info.counts = jww::GetElementNum(doc, -1, -1);
  DescribeLayers(doc, groups, info);
  jww::GetFontNames(doc);
  for (const std::u16string& f : Counted(doc.FontNames, doc.FontNameN))
    info.fonts.push_back(util::ToUtf8(f));
  DescribeBlocks(doc, info);
  for (const jww::TBindImageType& img : Counted(doc.BindImage, doc.BindImageN))
    info.images.push_back({util::ToUtf8(img.Fname), img.Fsize});
  DescribePlan(doc, info.plan);
  info.audited = audit;
  if (audit) CollectFindings(doc.ReadLog, info);
  return info;
}

DrawingInfo DescribeUnreadable(const jww::TJwwData& doc, const std::string& file) {
  DrawingInfo info;
  info.file = file;
  info.readable = false;
  info.audited = true;
  CollectFindings(doc.ReadLog, info);
  return info;
}

// The reader's section codes, as the text output names them.
std::string SectionWord(const std::string& code) {
  static constexpr std::pair<const char*, const char*> kSections[] = {
      {"file", TrNoop("file")},
      {"header", TrNoop("header")},
      {"entities", TrNoop("entities")},
      {"block-definitions", TrNoop("block definitions")},
      {"block-members", TrNoop("block members")},
      {"images", TrNoop("images")}};
  for (const auto& [c, word] : kSections)
    if (code == c) return Tr(word);
  return code;
}

std::string FindingPlace(const Finding& f) {
  std::string place = SectionWord(f.section);
  if (f.definition >= 0) place += " " + Int(f.definition);
  if (f.index >= 0) place += ", " + TrFormat("object {}", {Int(f.index)});
  if (f.offset >= 0) place += ", " + TrFormat("byte {}", {Int(f.offset)});
  return place;
}

std::string InfoText(const DrawingInfo& info) {
  std::string out = info.file + "\n";
  if (!info.readable) {
    out += "  " + std::string(Tr("the drawing could not be read completely")) + "\n";
    FindingsText(info, out);
    return out;
  }
  SummaryText(info, out);
  CountsText(info, out);
  LayersText(info, out);
  TextTable fonts({false});
  for (const std::string& f : info.fonts) fonts.Row({f});
  Section(out, TrNoop("Fonts"), fonts, info.fonts.size());
  BlocksText(info, out);
  PlanText(info, out);
  ImagesText(info, out);
  if (info.audited) FindingsText(info, out);
  return out;
}

Json FindingsJson(const DrawingInfo& info) {
  Json findings = Json::array();
  for (const Finding& f : info.findings) {
    findings.push_back({{"code", f.code},
                        {"section", f.section},
                        {"definition", f.definition},
                        {"index", f.index},
                        {"offset", f.offset},
                        {"detail", f.detail},
                        {"amount", f.amount}});
    if (!f.field.empty()) {
      findings.back()["field"] = f.field;
      findings.back()["value"] = f.value;
    }
  }
  return findings;
}

Json InfoJson(const DrawingInfo& info) {
  Json j = Json::object();
  PutJsonName(j, "file", info.file);
  j["readable"] = info.readable;
  if (!info.readable) {
    j["findings"] = FindingsJson(info);
    j["findingsOmitted"] = info.findingsOmitted;
    return j;
  }
  j["version"] = info.version;
  j["encoding"] = info.utf16 ? "utf-16" : "cp932";
  j["memo"] = info.memo;
  j["paper"] = {{"code", info.paperCode},
                {"name", info.paperName},
                {"width", info.paper.px},
                {"height", info.paper.py}};
  j["extents"] = BoxJson(info.extents);
  j["entities"] = {{"topLevel", CountsJson(info.counts, false)},
                   {"inPlacedBlocks", CountsJson(info.counts, true)}};
  Json groups = Json::array();
  for (const LayerGroupInfo& g : info.groups) {
    groups.push_back(
        {{"group", g.group},
         {"name", g.name},
         {"scale", g.scale},
         {"state", g.state},
         {"protected", g.locked},
         {"entities", g.entities},
         {"sheetExtents", BoxJson(g.sheetExtents)},
         {"fullSize", g.sheetExtents ? Json{{"width", g.fullWidth}, {"height", g.fullHeight}}
                                     : Json(nullptr)}});
  }
  j["layerGroups"] = std::move(groups);
  Json layers = Json::array();
  for (const LayerInfo& l : info.layers) {
    layers.push_back({{"group", l.group},
                      {"layer", l.layer},
                      {"name", l.name},
                      {"state", l.state},
                      {"protected", l.locked},
                      {"entities", l.entities}});
  }
  j["layers"] = std::move(layers);
  j["fonts"] = info.fonts;
  Json blocks = Json::array();
  for (const BlockInfo& b : info.blocks) {
    blocks.push_back({{"index", b.index},
                      {"number", b.number},
                      {"name", b.name},
                      {"members", b.members},
                      {"placements", b.placements},
                      {"sxf", b.sxf}});
  }
  j["blocks"] = std::move(blocks);
  Json figures = Json::array();
  for (const FigurePlanInfo& f : info.plan.figures) {
    figures.push_back({{"name", f.name},
                       {"placements", f.placements},
                       {"layerGroup", f.group},
                       {"scale", f.scale},
                       {"copies", f.copies},
                       {"definitionKept", f.kept}});
  }
  j["sxfPlan"] = {{"figures", std::move(figures)},
                  {"placements", info.plan.placements},
                  {"copies", info.plan.copies},
                  {"figuresLeft", info.plan.left}};
  Json images = Json::array();
  for (const ImageInfo& i : info.images) images.push_back({{"name", i.name}, {"size", i.size}});
  j["images"] = std::move(images);
  if (info.audited) {
    j["findings"] = FindingsJson(info);
    j["findingsOmitted"] = info.findingsOmitted;
  }
  return j;
}

}  // namespace app
