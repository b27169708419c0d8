// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/pictures.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "jww/document.h"
#include "jww/extents.h"
#include "jww/image_name.h"
#include "jww/walk.h"
#include "util/encoding.h"
#include "util/text.h"

namespace dxf {
namespace {

bool IsImageText(std::u16string_view s) {
  return s.starts_with(u"^@BM") && s.find(u',') != std::u16string_view::npos;
}

// `leaf`, or the first of "stem~2.ext", "stem~3.ext" … not taken yet.
std::string FreeName(const std::string& leaf, std::set<std::u16string>& taken) {
  const std::filesystem::path p(leaf);
  const std::string stem = p.stem().string(), ext = p.extension().string();
  std::string name = leaf;
  for (int k = 2; !taken.insert(util::StrLower(util::FromUtf8(name))).second; ++k)
    name = stem + "~" + std::to_string(k) + ext;
  return name;
}

}  // namespace

const Picture* PicturePlan::Find(std::u16string_view textName, size_t* index) const {
  const auto it = byTextName.find(textName);
  if (it == byTextName.end() || it->second == kNone) return nullptr;
  if (index) *index = it->second;
  return &pictures[it->second];
}

PicturePlan PlanPictures(const jww::TJwwData& doc, const std::string& drawingFolder,
                         const PictureSizer& size) {
  PicturePlan plan;
  std::map<std::string, size_t> bySource;
  std::set<std::u16string> taken;
  auto take = [&](const jww::TEntJwwMoji& m) {
    if (!IsImageText(m.str)) return;
    jww::TImageMojiInfo info;
    jww::GetImageMojiInfo(m.str, info);
    if (info.fileName.empty() || plan.byTextName.count(info.fileName) != 0) return;
    size_t& slot = plan.byTextName[info.fileName];
    slot = PicturePlan::kNone;
    const std::string source =
        jww::ImageTextFile(info.fileName, doc.BindImageFolder, drawingFolder);
    if (source.empty()) return;
    if (auto it = bySource.find(source); it != bySource.end()) {
      slot = it->second;
      return;
    }
    Picture p;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source, ec) || !size(source, p.width, p.height) ||
        p.width <= 0 || p.height <= 0)
      return;
    std::string leaf = std::filesystem::path(source).filename().string();
    if (!jww::IsPlainImageName(util::FromUtf8(leaf))) leaf = "picture";
    p.source = source;
    p.name = FreeName(leaf, taken);
    slot = bySource[source] = plan.pictures.size();
    plan.pictures.push_back(std::move(p));
  };
  const size_t defs =
      std::min<size_t>(static_cast<size_t>(std::max(doc.EntBlockDefN, 0)), doc.EntBlockDef.size());
  // Most drawings show no picture: the texts are looked at before the
  // drawing is walked.
  bool any = std::any_of(doc.EntMoji.begin(), doc.EntMoji.end(),
                         [](const jww::TEntJwwMoji& m) { return IsImageText(m.str); });
  for (size_t i = 0; i < defs && !any; ++i)
    any = std::any_of(doc.EntBlockDef[i].mMoji.begin(), doc.EntBlockDef[i].mMoji.end(),
                      [](const jww::TEntJwwMoji& m) { return IsImageText(m.str); });
  if (!any) return plan;
  jww::WalkPlacedDrawing(doc, [&](const jww::PlacedEntity& e) {
    if (!e.TopLevel()) return;
    if (auto* m = e.Get<jww::TEntJwwMoji>()) take(*m);
  });
  for (size_t i = 0; i < defs; ++i)
    for (const jww::TEntJwwMoji& m : doc.EntBlockDef[i].mMoji) take(m);
  return plan;
}

}  // namespace dxf
