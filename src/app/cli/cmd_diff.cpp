// SPDX-License-Identifier: GPL-3.0-or-later
// brindle diff: what changed between two drawings, as text, JSON or a
// picture; also git's external diff (seven arguments) and a window.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/files.h"
#include "app/cli/json.h"
#include "app/cli/output.h"
#include "app/i18n.h"
#include "app/steps.h"
#include "jww/diff.h"
#include "jww/document.h"
#include "util/encoding.h"

#ifdef BRINDLE_HAVE_RENDER
#include "app/cli/headless_qt.h"
#include "render/diff_overlay.h"
#include "render/output.h"
#endif

namespace app::cli {

namespace {

constexpr int kExitDifferent = 1;

// The words the core uses for fields, kinds and changes, for the catalogue.
[[maybe_unused]] constexpr const char* kFieldNames[] = {TrNoop("colour"),
                                                        TrNoop("line type"),
                                                        TrNoop("width"),
                                                        TrNoop("flags"),
                                                        TrNoop("layer group"),
                                                        TrNoop("layer"),
                                                        TrNoop("temporary"),
                                                        TrNoop("code"),
                                                        TrNoop("angle"),
                                                        TrNoop("scale"),
                                                        TrNoop("text"),
                                                        TrNoop("font"),
                                                        TrNoop("text type"),
                                                        TrNoop("width of a character"),
                                                        TrNoop("height of a character"),
                                                        TrNoop("spacing"),
                                                        TrNoop("SXF mode"),
                                                        TrNoop("text x"),
                                                        TrNoop("text y"),
                                                        TrNoop("fill colour"),
                                                        TrNoop("block"),
                                                        TrNoop("scale x"),
                                                        TrNoop("scale y"),
                                                        TrNoop("flattening")};

const char* KindName(int32_t kind) {
  static constexpr const char* kNames[] = {
      TrNoop("entity"), TrNoop("line"),      TrNoop("arc"),   TrNoop("point"),
      TrNoop("text"),   TrNoop("dimension"), TrNoop("solid"), TrNoop("block insertion")};
  return kind >= 0 && kind <= 7 ? kNames[kind] : kNames[0];
}

const char* ChangeKey(jww::EntityChange c) {
  switch (c) {
    case jww::EntityChange::kRemoved:
      return "removed";
    case jww::EntityChange::kAdded:
      return "added";
    case jww::EntityChange::kChanged:
      return "changed";
    case jww::EntityChange::kSame:
      break;
  }
  return "same";
}

char ChangeMark(jww::EntityChange c) {
  switch (c) {
    case jww::EntityChange::kRemoved:
      return '-';
    case jww::EntityChange::kAdded:
      return '+';
    case jww::EntityChange::kChanged:
      return '~';
    case jww::EntityChange::kSame:
      break;
  }
  return ' ';
}

const char* HeaderKey(jww::HeaderField f) {
  using F = jww::HeaderField;
  switch (f) {
    case F::kVersion:
      return "version";
    case F::kSheet:
      return "sheet";
    case F::kMemo:
      return "memo";
    case F::kWriteGroup:
      return "writeGroup";
    case F::kGroupName:
      return "groupName";
    case F::kGroupState:
      return "groupState";
    case F::kGroupScale:
      return "groupScale";
    case F::kGroupProtect:
      return "groupProtect";
    case F::kLayerName:
      return "layerName";
    case F::kLayerState:
      return "layerState";
    case F::kLayerProtect:
      return "layerProtect";
    case F::kOther:
      break;
  }
  return "other";
}

std::string Num(double v) {
  std::array<char, 32> buf;
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, 10);
  return std::string(buf.data(), r.ptr);
}

// Layer group g and layer l as Jw_cad names them: "0-A" … "F-F".
std::string LayerName(int g, int l) {
  const char* hex = "0123456789ABCDEF";
  std::string s;
  s += hex[g & 15];
  if (l >= 0) {
    s += '-';
    s += hex[l & 15];
  }
  return s;
}

std::string HeaderLabel(const jww::HeaderDiff& h) {
  using F = jww::HeaderField;
  const std::string g = LayerName(h.group, -1), gl = LayerName(h.group, h.layer);
  switch (h.field) {
    case F::kVersion:
      return Tr("format version");
    case F::kSheet:
      return Tr("sheet");
    case F::kMemo:
      return Tr("memo");
    case F::kWriteGroup:
      return Tr("layer group drawn into");
    case F::kGroupName:
      return TrFormat("name of layer group {}", {g});
    case F::kGroupState:
      return TrFormat("state of layer group {}", {g});
    case F::kGroupScale:
      return TrFormat("scale of layer group {}", {g});
    case F::kGroupProtect:
      return TrFormat("protection of layer group {}", {g});
    case F::kLayerName:
      return TrFormat("name of layer {}", {gl});
    case F::kLayerState:
      return TrFormat("state of layer {}", {gl});
    case F::kLayerProtect:
      return TrFormat("protection of layer {}", {gl});
    case F::kOther:
      break;
  }
  return h.name;
}

std::string Counts(const jww::DiffCounts& c) {
  return TrFormat("{} removed, {} added, {} changed",
                  {std::to_string(c.removed), std::to_string(c.added), std::to_string(c.changed)});
}

std::string Text(const jww::DrawingDiff& d, const std::string& before, const std::string& after) {
  std::string out = TrFormat("{} → {}: {}, {} unchanged",
                             {before, after, Counts(d.counts), std::to_string(d.counts.same)}) +
                    "\n";
  if (d.cut)
    out += Tr("(the block tree stopped at its node limit: some placed copies are missing)") +
           std::string("\n");
  if (!d.header.empty()) {
    out += TrFormat("header: {} fields", {std::to_string(d.header.size())}) + "\n";
    // Fields the other version cannot store come in hundreds: named by table.
    std::map<std::string, int> notCarried;
    for (const jww::HeaderDiff& h : d.header) {
      if (h.notCarried) {
        ++notCarried[h.name.substr(0, h.name.find_first_of("[."))];
        continue;
      }
      out += "  " + HeaderLabel(h) + ": " + h.before + " → " + h.after + "\n";
    }
    if (!notCarried.empty()) {
      std::string names;
      int total = 0;
      for (const auto& [table, n] : notCarried) {
        names += (names.empty() ? "" : ", ") + table + " (" + std::to_string(n) + ")";
        total += n;
      }
      out += "  " +
             TrFormat("{} fields that format version {} does not store as they were: {}",
                      {std::to_string(total),
                       std::to_string(std::min(d.versionBefore, d.versionAfter)), names}) +
             "\n";
    }
  }
  for (const jww::BlockDiff& b : d.blocks) {
    const std::string name = "\"" + b.name + "\"";  // a name may be empty
    const char* what = b.change == jww::EntityChange::kAdded
                           ? TrNoop("block definition {}: added")
                           : TrNoop("block definition {}: removed");
    if (b.change == jww::EntityChange::kChanged)
      out += TrFormat("block definition {}: members {}",
                      {name, Counts({0, b.removed, b.added, b.changed})});
    else
      out += TrFormat(what, {name});
    out += "\n";
  }
  for (const jww::ImageDiff& i : d.images) {
    out += TrFormat("image {}: {} → {} bytes",
                    {i.name, std::to_string(i.sizeBefore), std::to_string(i.sizeAfter)}) +
           "\n";
  }
  // Grouped by layer group and layer, counts first.
  size_t i = 0;
  while (i < d.entities.size()) {
    size_t j = i;
    jww::DiffCounts c;
    for (; j < d.entities.size() && d.entities[j].gLayer == d.entities[i].gLayer &&
           d.entities[j].layer == d.entities[i].layer;
         ++j) {
      const jww::EntityChange ch = d.entities[j].change;
      ++(ch == jww::EntityChange::kRemoved ? c.removed
         : ch == jww::EntityChange::kAdded ? c.added
                                           : c.changed);
    }
    out += TrFormat("layer {}: {}",
                    {LayerName(d.entities[i].gLayer, d.entities[i].layer), Counts(c)}) +
           "\n";
    for (; i < j; ++i) {
      const jww::EntityDiff& e = d.entities[i];
      out += "  ";
      out += ChangeMark(e.change);
      out += std::string(" ") + Tr(KindName(e.kind)) + " (" + Num(e.x) + ", " + Num(e.y) + ")";
      for (size_t k = 0; k < e.fields.size(); ++k) {
        const jww::FieldChange& f = e.fields[k];
        out += (k == 0 ? ": " : ", ") + std::string(Tr(f.field.c_str())) + " " + f.before + " → " +
               f.after;
      }
      out += "\n";
    }
  }
  return out;
}

Json JsonOf(const jww::DrawingDiff& d, const std::string& before, const std::string& after) {
  Json j;
  PutName(j, "before", before);
  PutName(j, "after", after);
  j["same"] = d.Same();
  j["drawingDiffers"] = d.DrawingDiffers();
  j["counts"] = {{"same", d.counts.same},
                 {"removed", d.counts.removed},
                 {"added", d.counts.added},
                 {"changed", d.counts.changed}};
  j["versions"] = {d.versionBefore, d.versionAfter};
  j["cut"] = d.cut;
  Json header = Json::array();
  for (const jww::HeaderDiff& h : d.header) {
    Json x{{"field", HeaderKey(h.field)}};
    if (h.group >= 0) x["group"] = h.group;
    if (h.layer >= 0) x["layer"] = h.layer;
    if (h.field == jww::HeaderField::kOther) x["name"] = h.name;
    x["before"] = h.before;
    x["after"] = h.after;
    x["notCarried"] = h.notCarried;
    header.push_back(std::move(x));
  }
  j["header"] = std::move(header);
  Json blocks = Json::array();
  for (const jww::BlockDiff& b : d.blocks) {
    Json x{{"name", b.name}, {"change", ChangeKey(b.change)}};
    if (b.change == jww::EntityChange::kChanged)
      x["members"] = {{"removed", b.removed}, {"added", b.added}, {"changed", b.changed}};
    blocks.push_back(std::move(x));
  }
  j["blocks"] = std::move(blocks);
  Json images = Json::array();
  for (const jww::ImageDiff& i : d.images)
    images.push_back({{"name", i.name},
                      {"change", ChangeKey(i.change)},
                      {"sizeBefore", i.sizeBefore},
                      {"sizeAfter", i.sizeAfter}});
  j["images"] = std::move(images);
  Json entities = Json::array();
  for (const jww::EntityDiff& e : d.entities) {
    Json x{{"change", ChangeKey(e.change)},
           {"kind", e.kind},
           {"kindName", KindName(e.kind)},
           {"group", e.gLayer},
           {"layer", e.layer},
           {"x", e.x},
           {"y", e.y}};
    if (!e.fields.empty()) {
      Json fields = Json::array();
      for (const jww::FieldChange& f : e.fields)
        fields.push_back({{"field", f.field}, {"before", f.before}, {"after", f.after}});
      x["fields"] = std::move(fields);
    }
    entities.push_back(std::move(x));
  }
  j["entities"] = std::move(entities);
  return j;
}

// Reads both drawings at once, one on a thread of its own.
bool ReadBoth(jww::TJwwData& before, const std::string& a, jww::TJwwData& after,
              const std::string& b) {
  bool okBefore = false;
  std::thread other([&] { okBefore = ReadDrawing(before, a); });
  const bool okAfter = ReadDrawing(after, b);
  other.join();
  return okBefore && okAfter;
}

// git runs an external diff with seven arguments (path, old file, old hash,
// old mode, new file, new hash, new mode); one side is /dev/null when the
// file was added or deleted.
bool GitForm(const std::vector<std::string>& files) { return files.size() == 7; }

// The window's program beside this one, else the one on the PATH.
std::string GuiProgram() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path beside = self.parent_path() / "brindle-gui";
    if (std::filesystem::exists(beside, ec)) return beside.string();
  }
  return "brindle-gui";
}

int OpenWindow(const std::string& before, const std::string& after) {
  const std::string program = GuiProgram();
  std::vector<std::string> args{program, "--compare", before, after};
  std::vector<char*> argv;
  for (std::string& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  ::execvp(program.c_str(), argv.data());
  Error(TrFormat("{}: could not be started: {}", {program, std::strerror(errno)}));
  return kExitUsage;
}

#ifdef BRINDLE_HAVE_RENDER
int WritePicture(const jww::DrawingDiff& d, const jww::TJwwData& before, const jww::TJwwData& after,
                 bool placed, const std::string& out, render::Format format, bool force,
                 char* argv0) {
  HeadlessQt qt(argv0);
  render::RenderOptions options;
  options.allGroups = true;  // a change on a hidden layer is a change all the same
  render::MarkChanges(d, before, after, placed, options,
                      {util::FromUtf8(Tr("unchanged")), util::FromUtf8(Tr("removed")),
                       util::FromUtf8(Tr("added")), util::FromUtf8(Tr("changed"))});
  const render::SheetBox box = render::PictureBox(after, options);
  const double widthPx = render::LayoutPicture(box, {}).view.width;
  options.legendPx = std::clamp(widthPx / 80, 12.0, 400.0);
  const QByteArray bytes = render::RenderBytes(after, options, format, {});
  if (bytes.isEmpty()) {
    Error(TrFormat("{}: the picture could not be made (too large?)", {out}));
    return kExitUsage;
  }
  std::string error;
  if (SaveText(out, bytes.toStdString(), force ? NameRule::kReplace : NameRule::kExact, &error)
          .empty()) {
    Error(out + ": " + error);
    return kExitUsage;
  }
  return kExitOk;
}
#endif

}  // namespace

int RunDiff(int argc, char** argv) {
  CLI::App app{Tr("Compares two drawings: entities removed, added and changed, the header, "
                  "block definitions and images. Exit status 0: the same, 1: different, "
                  "2: trouble."),
               "brindle diff"};
  TranslateParser(app);
  std::vector<std::string> files;
  std::string out;
  double tolerance = 1e-6;
  bool json = false, placed = false, gui = false, force = false;
  app.add_option(
         "FILES", files,
         Tr("the older and the newer drawing (or git's seven arguments of an external diff)"))
      ->required()
      ->expected(2, 7);
  app.add_option("--tolerance", tolerance,
                 Tr("how far apart two points may be and still match, millimetres on the sheet "
                    "(default 1e-6)"))
      ->check(CLI::Range(0.0, 1e6));
  app.add_flag("--placed", placed,
               Tr("compare what is placed (blocks resolved), e.g. a conversion with its source"));
  app.add_flag("--json", json, Tr("one JSON object instead of text"));
  app.add_option("-o,--output", out,
                 Tr("also draw the differences into this picture (.png, .svg or .pdf)"));
  app.add_flag("--force", force, Tr("replace an existing output file"));
  app.add_flag("--gui", gui, Tr("show the differences in the window"));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  if (files.size() != 2 && !GitForm(files)) {
    Error(Tr("give two drawings, or git's seven arguments of an external diff"));
    return kExitUsage;
  }
  const bool git = GitForm(files);
  const std::string beforeFile = git ? files[1] : files[0];
  const std::string afterFile = git ? files[4] : files[1];
  const std::string shownBefore = git ? "a/" + files[0] : beforeFile;
  const std::string shownAfter = git ? "b/" + files[0] : afterFile;
  if (git && (beforeFile == "/dev/null" || afterFile == "/dev/null")) {
    const char* what =
        beforeFile == "/dev/null" ? TrNoop("{}: new drawing") : TrNoop("{}: deleted");
    WriteOutLine(TrFormat(what, {files[0]}));
    return FinishOut(kExitOk);
  }
  if (gui) return OpenWindow(beforeFile, afterFile);
#ifdef BRINDLE_HAVE_RENDER
  std::optional<render::Format> format;
  if (!out.empty()) {
    format = render::FormatOfPath(out);
    if (!format) {
      Error(TrFormat("{}: the picture's name must end in .png, .svg or .pdf", {out}));
      return kExitUsage;
    }
    if (RefuseExisting(beforeFile, out, force) || RefuseExisting(afterFile, out, force))
      return kExitUsage;
  }
#else
  if (!out.empty()) {
    Error(Tr("this brindle was built without pictures"));
    return kExitUsage;
  }
#endif

  jww::TJwwData before, after;
  if (!ReadBoth(before, beforeFile, after, afterFile)) return kExitUsage;
  const jww::DrawingDiff d = jww::DiffDrawings(before, after, {tolerance, placed});
  WriteOut(json ? Dump(JsonOf(d, shownBefore, shownAfter)) + "\n"
                : Text(d, shownBefore, shownAfter));
  int rc = d.Same() ? kExitOk : kExitDifferent;
#ifdef BRINDLE_HAVE_RENDER
  if (format && WritePicture(d, before, after, placed, out, *format, force, argv[0]) != kExitOk)
    rc = kExitUsage;
#endif
  JwwDataFree(before);
  JwwDataFree(after);
  // git stops at an external diff that exits with anything but 0.
  if (git && rc == kExitDifferent) rc = kExitOk;
  return FinishOut(rc);
}

}  // namespace app::cli
