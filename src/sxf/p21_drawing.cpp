// SPDX-License-Identifier: GPL-3.0-or-later
// How the AP202 graph carries the SFC features (what the converter relies on):
//   styled items: STYLED_ITEM((presentation_style_assignment), item) with the
//     occurrence kind as a part of the complex instance (ANNOTATION_CURVE_,
//     _TEXT_, _FILL_AREA_, _SUBFIGURE_, _SYMBOL_OCCURRENCE);
//   curves: TRIMMED_CURVE of a LINE (trimmed by points) or CIRCLE / ELLIPSE
//     (trimmed by PARAMETER_VALUE in radians, sense .T. counter-clockwise),
//     CIRCLE, ELLIPSE, POLYLINE, COMPOSITE_CURVE of segments;
//     CURVE_STYLE(name, curve font, width, colour);
//   texts: TEXT_LITERAL_WITH_EXTENT(base point name "$$SXF_topline centre",
//     text, placement, alignment, path, font, PLANAR_EXTENT(width, height)),
//     styled with BOX_HEIGHT, BOX_SLANT_ANGLE, BOX_ROTATE_ANGLE (radians),
//     the spacing and TEXT_STYLE_FOR_DEFINED_FONT(colour). The placement is
//     not the SFC text point: the writer moves it by half the height (base
//     and middle lines) or the height (top line) across the text;
//   dimensions and labels: DRAUGHTING_CALLOUT((children)) with
//     LINEAR_DIMENSION or LEADER_DIRECTED_CALLOUT: the dimension or leader
//     curve, projection curves "$$SXF_prj_1/2" (a LINE from the reference
//     point, trimmed to the auxiliary line's ends), terminators "$$SXF_arw_1/2"
//     (DEFINED_SYMBOL of a PRE_DEFINED_TERMINATOR_SYMBOL at a SYMBOL_TARGET
//     whose x scale is the arrow's), the text "dimension value";
//   sub-drawings: DRAUGHTING_SUBFIGURE_REPRESENTATION("$$SXF_FM_name" flag 1,
//     _FG_ 2, _G_ 3, _P_ 4, items) placed by MAPPED_ITEM(SYMBOL_REPRESENTATION_MAP,
//     SYMBOL_TARGET(placement, ratio x, ratio y)) on the dummy layer
//     "$$SXF_dummy_layer_for_subfigure";
//   layers: PRESENTATION_LAYER_ASSIGNMENT(name, description, items), hidden
//     when INVISIBILITY lists them (INVISIBILITY also hides composite curves);
//   hatching: ANNOTATION_FILL_AREA((composite curves: outer, inner …)) styled
//     with FILL_AREA_STYLE of EXTERNALLY_DEFINED_HATCH_STYLE,
//     FILL_AREA_STYLE_COLOUR or FILL_AREA_STYLE_HATCHING(curve style,
//     ONE_DIRECTION_REPEAT_FACTOR(vector of the spacing), start, reference,
//     angle), the hatchings listed last first;
//   the sheet: DRAWING_SHEET_REVISION("A1_horizontal", items) with
//     PRESENTATION_SIZE(sheet, PLANAR_BOX(x, y)) for free sizes.
#include "sxf/p21_drawing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "sxf/sxf_codes.h"
#include "util/encoding.h"

namespace sxf {

namespace {

constexpr double kRadToDeg = 180.0 / std::numbers::pi;
// Composite curves made of composite curves, this deep at most (a ring of
// them would never end).
constexpr int kMaxCompositeDepth = 16;

constexpr const auto& kColours = kSxfColours;
constexpr const auto& kCurveFonts = kSxfLineTypes;
constexpr const auto& kWidths = kSxfWidths;
constexpr const char* kArrows[] = {
    "blanked arrow", "blanked box",  "blanked dot",   "dimension origin",
    "filled box",    "filled arrow", "filled dot",    "integral symbol",
    "open arrow",    "slash",        "unfilled arrow"};
constexpr const char* kMarkers[] = {"asterisk", "circle", "dot", "plus", "square", "triangle", "x"};
constexpr const char* kBasePoints[] = {
    "$$SXF_baseline left",   "$$SXF_baseline centre",   "$$SXF_baseline right",
    "$$SXF_middleline left", "$$SXF_middleline centre", "$$SXF_middleline right",
    "$$SXF_topline left",    "$$SXF_topline centre",    "$$SXF_topline right"};
constexpr const char* kFigurePrefixes[] = {"$$SXF_FM_", "$$SXF_FG_", "$$SXF_G_", "$$SXF_P_"};
constexpr std::string_view kDummyLayer = "$$SXF_dummy_layer_for_subfigure";

template <size_t N>
int CodeIn(const char* const (&names)[N], std::string_view name) {
  for (size_t i = 0; i < N; ++i)
    if (name == names[i]) return static_cast<int>(i) + 1;
  return 0;
}

// A fault of the graph at the instance being converted.
struct Fault {
  std::string reason;
};

struct Vec {
  double x = 0, y = 0;
};

using Kind = P21Value::Kind;

std::string Num(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}
std::string Int(int64_t v) { return std::to_string(v); }
std::string List(const std::vector<double>& v) {
  std::string s = "(";
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) s += ',';
    s += Num(v[i]);
  }
  return s + ")";
}

struct Pen {
  int layer = 0, colour = 1, type = 1, width = 1;
};

struct TextData {
  int font = 1;
  std::string str;
  double x = 0, y = 0, height = 0, width = 0, spc = 0, angle = 0, slant = 0;
  int bpnt = 1, direct = 1;
  int colour = 1;
};

class Converter {
 public:
  Converter(const P21File& p, SfcReport& rep) : p_(p), rep_(rep), f_(rep.file) {}

  void Run() {
    f_.encoding = SfcEncoding::kUtf8;
    f_.description = p_.description;
    f_.author = p_.author;
    Tables();
    Layers();
    const P21Instance* sheet = nullptr;
    std::vector<const P21Instance*> figures;
    for (const P21Instance& i : p_.instances) {
      if (i.Is("DRAUGHTING_SUBFIGURE_REPRESENTATION")) figures.push_back(&i);
      if (i.Is("DRAWING_SHEET_REVISION")) {
        if (!sheet)
          sheet = &i;
        else
          Warn("the file has more than one drawing sheet; only the first is read");
      }
    }
    if (!sheet) {
      At(0, 0);
      throw Fault{"the file has no drawing sheet (DRAWING_SHEET_REVISION)"};
    }
    for (const P21Instance* r : figures) MarkItems(*r);
    MarkItems(*sheet);
    FreeComposites();
    for (const P21Instance* r : figures) Figure(*r);
    Sheet(*sheet);
  }

  bool needsUnicode = false;

 private:
  // ---- access ----

  void At(int64_t number, size_t offset) {
    cur_ = number;
    curOffset_ = offset;
  }
  void At(const P21Instance& i) { At(i.number, i.offset); }

  const P21Instance& Ref(const P21Value& v, std::string_view what) const {
    if (v.kind != Kind::kRef)
      throw Fault{what.empty() ? "a reference expected" : std::string(what) + " expected"};
    const P21Instance* i = p_.Find(v.ref);
    if (!i) throw Fault{"#" + std::to_string(v.ref) + " is not in the file"};
    return *i;
  }
  const P21Instance* RefOrNull(const P21Value& v) const {
    return v.kind == Kind::kRef ? p_.Find(v.ref) : nullptr;
  }
  static const P21Part& PartOf(const P21Instance& i, std::string_view name) {
    const P21Part* p = i.Part(name);
    if (!p) throw Fault{"#" + std::to_string(i.number) + " is not a " + std::string(name)};
    return *p;
  }
  static const P21Value& Arg(const P21Part& p, size_t k) {
    if (k >= p.args.size())
      throw Fault{p.name + " needs " + std::to_string(k + 1) + " parameters or more"};
    return p.args[k];
  }
  static double Number(const P21Value& v) {
    if (v.kind == Kind::kNumber) return v.number;
    if (v.kind == Kind::kTyped && v.items.size() == 1 && v.items[0].kind == Kind::kNumber)
      return v.items[0].number;
    throw Fault{"a number expected"};
  }
  static std::string String(const P21Value& v) {
    if (v.kind == Kind::kString) return v.text;
    if (v.kind == Kind::kTyped && v.items.size() == 1 && v.items[0].kind == Kind::kString)
      return v.items[0].text;
    if (v.kind == Kind::kUnset) return {};
    throw Fault{"a string expected"};
  }
  static const std::vector<P21Value>& Items(const P21Value& v) {
    if (v.kind != Kind::kList) throw Fault{"a list expected"};
    return v.items;
  }
  Vec Point(const P21Value& v) const {
    const P21Part& p = PartOf(Ref(v, "a point"), "CARTESIAN_POINT");
    const auto& c = Items(Arg(p, 1));
    if (c.size() < 2) throw Fault{"a CARTESIAN_POINT has fewer than two coordinates"};
    return {Number(c[0]), Number(c[1])};
  }
  Vec Direction(const P21Value& v) const {
    const P21Part& p = PartOf(Ref(v, "a direction"), "DIRECTION");
    const auto& c = Items(Arg(p, 1));
    if (c.size() < 2) throw Fault{"a DIRECTION has fewer than two components"};
    return {Number(c[0]), Number(c[1])};
  }
  // AXIS2_PLACEMENT_2D: its location and the angle of its x axis (radians).
  std::pair<Vec, double> Placement(const P21Value& v) const {
    const P21Part& p = PartOf(Ref(v, "a placement"), "AXIS2_PLACEMENT_2D");
    const Vec at = Point(Arg(p, 1));
    double angle = 0;
    if (p.args.size() > 2 && p.args[2].kind == Kind::kRef) {
      const Vec d = Direction(p.args[2]);
      angle = std::atan2(d.y, d.x);
    }
    return {at, angle};
  }

  // STYLED_ITEM's styles and item, as a part of a complex instance or
  // as the simple occurrence itself (name, styles, item).
  struct Styled {
    const P21Value* styles = nullptr;
    const P21Value* item = nullptr;
  };
  static Styled StyledOf(const P21Instance& i) {
    if (const P21Part* s = i.Part("STYLED_ITEM"); s && s->args.size() == 2)
      return {&s->args[0], &s->args[1]};
    if (i.parts.size() == 1 && i.parts[0].args.size() >= 3)
      return {&i.parts[0].args[1], &i.parts[0].args[2]};
    throw Fault{"an annotation occurrence without its styled item"};
  }
  static std::string ItemName(const P21Instance& i) {
    if (const P21Part* r = i.Part("REPRESENTATION_ITEM");
        r && !r->args.empty() && r->args[0].kind == Kind::kString)
      return r->args[0].text;
    if (i.parts.size() == 1 && !i.parts[0].args.empty() && i.parts[0].args[0].kind == Kind::kString)
      return i.parts[0].args[0].text;
    return {};
  }
  // The first style of the first presentation style assignment, or null.
  const P21Instance* StyleOf(const Styled& s) const {
    for (const P21Value& a : Items(*s.styles)) {
      const P21Instance* psa = RefOrNull(a);
      if (!psa) continue;
      const P21Part* part = psa->Part("PRESENTATION_STYLE_ASSIGNMENT");
      if (!part || part->args.empty() || part->args[0].kind != Kind::kList) continue;
      for (const P21Value& st : part->args[0].items)
        if (const P21Instance* style = RefOrNull(st)) return style;
    }
    return nullptr;
  }

  // ---- records ----

  void Emit(std::string_view name, const std::vector<std::string>& args) {
    SfcRecord r;
    r.number = cur_;
    r.offset = curOffset_;
    r.firstArg = f_.argSpans.size();
    r.argCount = static_cast<uint32_t>(args.size());
    uint32_t index = 0;
    while (index < f_.names.size() && f_.names[index] != name) ++index;
    if (index == f_.names.size()) f_.names.emplace_back(name);
    r.name = index;
    for (const std::string& a : args) {
      if (f_.argText.size() + a.size() >= SfcFile::Span::kArena)
        throw Fault{"the drawing is larger than 2 GiB of records"};
      f_.argSpans.push_back(SfcFile::Span::InArena(static_cast<uint32_t>(f_.argText.size()),
                                                   static_cast<uint32_t>(a.size())));
      f_.argText += a;
    }
    f_.records.push_back(r);
  }
  // A text argument; notes whether code page 932 holds it.
  std::string Text(const std::string& s) {
    if (!needsUnicode) {
      const std::u16string u = util::FromUtf8(s);
      const util::Bytes b = util::StrToAnsiBytes(u);
      if (util::AnsiBytesToStr(b) != u) needsUnicode = true;
    }
    return s;
  }

  void Warn(std::string text) {
    if (std::find(rep_.warnings.begin(), rep_.warnings.end(), text) == rep_.warnings.end())
      rep_.warnings.push_back(std::move(text));
  }
  void LeftOut(const P21Instance& i, const std::string& what) {
    Warn("record #" + std::to_string(i.number) + ": " + what + " was left out");
  }

  // ---- tables ----

  void Tables() {
    // Widths in the order the file defines them, those of curve styles only.
    std::unordered_set<int64_t> widthRefs;
    for (const P21Instance& i : p_.instances)
      if (const P21Part* cs = i.Part("CURVE_STYLE");
          cs && cs->args.size() > 2 && cs->args[2].kind == Kind::kRef)
        widthRefs.insert(cs->args[2].ref);
    int userColours = 0, userFonts = 0, textFonts = 0, userWidths = 0;
    for (const P21Instance& i : p_.instances) {
      At(i);
      if (const P21Part* c = i.Part("DRAUGHTING_PRE_DEFINED_COLOUR")) {
        const std::string name = String(Arg(*c, 0));
        colours_[i.number] = std::max(1, CodeIn(kColours, name));
        Emit("pre_defined_colour_feature", {Text(name)});
      } else if (const P21Part* c = i.Part("COLOUR_RGB")) {
        auto channel = [&](size_t k) {
          return Int(std::lround(std::clamp(Number(Arg(*c, k)), 0.0, 1.0) * 255));
        };
        colours_[i.number] = 17 + userColours++;
        Emit("user_defined_colour_feature", {channel(1), channel(2), channel(3)});
      } else if (const P21Part* c = i.Part("DRAUGHTING_PRE_DEFINED_CURVE_FONT")) {
        const std::string name = String(Arg(*c, 0));
        fonts_[i.number] = std::max(1, CodeIn(kCurveFonts, name));
        Emit("pre_defined_font_feature", {Text(name)});
      } else if (const P21Part* c = i.Part("CURVE_STYLE_FONT")) {
        std::vector<double> pitches;
        for (const P21Value& pv : Items(Arg(*c, 1))) {
          const P21Part& pat = PartOf(Ref(pv, "a curve font pattern"), "CURVE_STYLE_FONT_PATTERN");
          pitches.push_back(Number(Arg(pat, 0)));
          pitches.push_back(Number(Arg(pat, 1)));
        }
        fonts_[i.number] = 16 + userFonts++;
        Emit("user_defined_font_feature",
             {Text(String(Arg(*c, 0))), Int(static_cast<int64_t>(pitches.size())), List(pitches)});
      } else if (const P21Part* c = i.Part("LENGTH_MEASURE_WITH_UNIT");
                 c && widthRefs.count(i.number)) {
        const double w = Number(Arg(*c, 0));
        int code = 0;
        for (size_t k = 0; k < std::size(kWidths); ++k)
          if (std::fabs(kWidths[k] - w) < 1e-6) code = static_cast<int>(k) + 1;
        if (code == 0) code = 10 + userWidths++;
        widths_[i.number] = code;
        Emit("width_feature", {Num(w)});
      } else if (const P21Part* c = i.Part("EXTERNALLY_DEFINED_TEXT_FONT")) {
        textFonts_[i.number] = ++textFonts;
        Emit("text_font_feature", {Text(String(Arg(*c, 0)))});
      } else if (const P21Part* c = i.Part("PRE_DEFINED_TEXT_FONT")) {
        textFonts_[i.number] = ++textFonts;
        Emit("text_font_feature", {Text(String(Arg(*c, 0)))});
      }
    }
  }

  int CodeOf(const std::unordered_map<int64_t, int>& table, const P21Value& v,
             const char* what) const {
    if (v.kind == Kind::kUnset) return 1;
    const P21Instance& i = Ref(v, what);
    auto it = table.find(i.number);
    if (it == table.end())
      throw Fault{"#" + std::to_string(i.number) + " (" + (i.parts.empty() ? "" : i.parts[0].name) +
                  ") is not " + what};
    return it->second;
  }

  void Layers() {
    for (const P21Instance& i : p_.instances)
      if (const P21Part* v = i.Part("INVISIBILITY");
          v && !v->args.empty() && v->args[0].kind == Kind::kList)
        for (const P21Value& x : v->args[0].items)
          if (x.kind == Kind::kRef) hidden_.insert(x.ref);
    int code = 0;
    for (const P21Instance& i : p_.instances) {
      const P21Part* a = i.Part("PRESENTATION_LAYER_ASSIGNMENT");
      if (!a) continue;
      At(i);
      const std::string name = String(Arg(*a, 0));
      const int layer = name == kDummyLayer ? 0 : ++code;
      if (layer > 0) Emit("layer_feature", {Text(name), hidden_.count(i.number) ? "0" : "1"});
      for (const P21Value& x : Items(Arg(*a, 2)))
        if (x.kind == Kind::kRef) layerOf_[x.ref] = layer;
    }
  }

  int LayerOf(int64_t number) const {
    auto it = layerOf_.find(number);
    return it == layerOf_.end() ? 0 : it->second;
  }

  // CURVE_STYLE(name, font, width, colour) as codes.
  Pen CurvePen(const P21Instance* style, int layer) const {
    Pen pen;
    pen.layer = layer;
    if (!style) return pen;
    const P21Part* cs = style->Part("CURVE_STYLE");
    if (!cs) throw Fault{"a curve's style is not a CURVE_STYLE"};
    pen.type = CodeOf(fonts_, Arg(*cs, 1), "a curve font");
    const P21Value& w = Arg(*cs, 2);
    if (w.kind == Kind::kTyped) {
      const double mm = Number(w);
      pen.width = 3;
      for (size_t k = 0; k < std::size(kWidths); ++k)
        if (std::fabs(kWidths[k] - mm) < 1e-6) pen.width = static_cast<int>(k) + 1;
    } else {
      pen.width = CodeOf(widths_, w, "a width");
    }
    pen.colour = CodeOf(colours_, Arg(*cs, 3), "a colour");
    return pen;
  }

  // ---- which occurrences the representations hold ----

  void MarkItems(const P21Instance& rep) {
    At(rep);
    const P21Part& p = rep.parts.front();
    for (const P21Value& v : Items(Arg(p, 1)))
      if (v.kind == Kind::kRef) listed_.insert(v.ref);
  }

  // Composite curves that no representation lists (boundaries of hatching,
  // shown or hidden): the SFC form writes them first.
  void FreeComposites() {
    for (const P21Instance& i : p_.instances) {
      if (!i.Is("ANNOTATION_CURVE_OCCURRENCE") || listed_.count(i.number)) continue;
      At(i);
      const Styled s = StyledOf(i);
      const P21Instance* item = RefOrNull(*s.item);
      if (item && item->Is("COMPOSITE_CURVE")) Composite(i, *item, StyleOf(s));
    }
  }

  // ---- figures and the sheet ----

  static std::pair<std::string, int> FigureName(const std::string& name) {
    for (size_t k = 0; k < std::size(kFigurePrefixes); ++k)
      if (name.starts_with(kFigurePrefixes[k]))
        return {name.substr(std::string_view(kFigurePrefixes[k]).size()), static_cast<int>(k) + 1};
    return {name, 3};
  }

  void Figure(const P21Instance& rep) {
    At(rep);
    const P21Part& p = rep.parts.front();
    const auto [name, flag] = FigureName(String(Arg(p, 0)));
    for (const P21Value& v : Items(Arg(p, 1)))
      if (const P21Instance* i = RefOrNull(v)) Item(*i);
    At(rep);
    Emit("sfig_org_feature", {Text(name), Int(flag)});
  }

  void Sheet(const P21Instance& sheet) {
    At(sheet);
    const P21Part& p = sheet.parts.front();
    const std::string name = String(Arg(p, 0));
    const std::vector<P21Value> items = Items(Arg(p, 1));
    for (const P21Value& v : items)
      if (const P21Instance* i = RefOrNull(v)) Item(*i);
    At(sheet);
    Attributes();
    At(sheet);
    // "A1_horizontal": A0 to A4, upright (vertical) or landscape; other names are free sizes.
    int type = 9, orient = 1;
    if (name.size() >= 3 && (name[0] == 'A' || name[0] == 'a') && name[1] >= '0' &&
        name[1] <= '4' && name[2] == '_') {
      type = name[1] - '0';
      orient = name.substr(3) == "vertical" ? 0 : 1;
    }
    double w = 0, h = 0;
    auto box = [&](const P21Instance& b) {
      if (const P21Part* pb = b.Part("PLANAR_BOX")) {
        w = Number(Arg(*pb, 1));
        h = Number(Arg(*pb, 2));
      }
    };
    for (const P21Instance& i : p_.instances)
      if (const P21Part* ps = i.Part("PRESENTATION_SIZE"); ps && ps->args.size() >= 2 &&
                                                           ps->args[0].kind == Kind::kRef &&
                                                           ps->args[0].ref == sheet.number)
        if (const P21Instance* b = RefOrNull(ps->args[1])) box(*b);
    if (w == 0)
      for (const P21Value& v : items)
        if (const P21Instance* b = RefOrNull(v)) box(*b);
    Emit("drawing_sheet_feature", {Text(name), Int(type), Int(orient), Num(w), Num(h)});
  }

  // The drawing's attributes from the title, contract, approval and
  // organisations of its revision.
  void Attributes() {
    std::string project = " ", contract = " ", contractType = " ", title = " ", number = " ",
                kind = " ", scale = " ", contractor = " ", owner = " ";
    int year = 0, month = 1, day = 1;
    for (const P21Instance& i : p_.instances) {
      At(i);
      if (const P21Part* c = i.Part("CONTRACT")) {
        contract = String(Arg(*c, 0));
        project = String(Arg(*c, 1));
        if (const P21Instance* t = RefOrNull(Arg(*c, 2)))
          if (const P21Part* ct = t->Part("CONTRACT_TYPE")) contractType = String(Arg(*ct, 0));
      } else if (const P21Part* c = i.Part("DRAUGHTING_TITLE")) {
        title = String(Arg(*c, 2));
      } else if (const P21Part* c = i.Part("DRAWING_DEFINITION")) {
        number = String(Arg(*c, 0));
        kind = String(Arg(*c, 1));
      } else if (const P21Part* c = i.Part("DRAUGHTING_DRAWING_REVISION")) {
        scale = String(Arg(*c, 2));
      } else if (const P21Part* c = i.Part("CALENDAR_DATE")) {  // year, day, month
        year = static_cast<int>(Number(Arg(*c, 0)));
        day = static_cast<int>(Number(Arg(*c, 1)));
        month = static_cast<int>(Number(Arg(*c, 2)));
      } else if (const P21Part* c = i.Part("DRAUGHTING_ORGANIZATION_ASSIGNMENT")) {
        const P21Instance* org = RefOrNull(Arg(*c, 0));
        const P21Instance* role = RefOrNull(Arg(*c, 1));
        if (!org || !role || !org->Part("ORGANIZATION") || !role->Part("ORGANIZATION_ROLE"))
          continue;
        const std::string who = String(Arg(PartOf(*org, "ORGANIZATION"), 1));
        const std::string r = String(Arg(PartOf(*role, "ORGANIZATION_ROLE"), 0));
        if (r == "creator") contractor = who;
        if (r == "owner") owner = who;
      }
    }
    Emit("drawing_attribute_feature",
         {Text(project), Text(contract), Text(contractType), Text(title), Text(number), Text(kind),
          Text(scale), Int(year), Int(month), Int(day), Text(contractor), Text(owner)});
  }

  // ---- one item of a representation ----

  void Item(const P21Instance& i) {
    At(i);
    if (i.Is("DRAUGHTING_CALLOUT")) {
      Callout(i);
    } else if (i.Is("ANNOTATION_SUBFIGURE_OCCURRENCE")) {
      Locate(i);
    } else if (i.Is("ANNOTATION_FILL_AREA_OCCURRENCE")) {
      Fill(i);
    } else if (i.Is("ANNOTATION_TEXT_OCCURRENCE")) {
      const TextData t = TextOf(i);
      Emit("text_string_feature", TextRecord(LayerOf(i.number), t, true));
    } else if (i.Is("ANNOTATION_CURVE_OCCURRENCE")) {
      Curve(i);
    } else if (i.Is("ANNOTATION_SYMBOL_OCCURRENCE")) {
      Marker(i);
    } else if (i.Is("AXIS2_PLACEMENT_2D") || i.Is("PLANAR_BOX") || i.Is("DRAWING_SHEET_LAYOUT")) {
      // the representation's own frame and the sheet's box
    } else {
      LeftOut(i, (i.parts.empty() ? std::string("an instance") : i.parts[0].name) +
                     ", which draws nothing known,");
    }
  }

  void Curve(const P21Instance& occ) {
    const Styled s = StyledOf(occ);
    const P21Instance& item = Ref(*s.item, "a curve");
    if (item.Is("COMPOSITE_CURVE")) {
      Composite(occ, item, StyleOf(s));
      return;
    }
    const Pen pen = CurvePen(StyleOf(s), LayerOf(occ.number));
    if (!CurveRecord(item, pen)) LeftOut(occ, "a curve of kind " + item.parts[0].name);
  }

  std::vector<std::string> PenArgs(const Pen& p) const {
    return {Int(p.layer), Int(p.colour), Int(p.type), Int(p.width)};
  }

  // The SFC record of one curve; false for a kind it has none of.
  bool CurveRecord(const P21Instance& c, const Pen& pen) {
    std::vector<std::string> a = PenArgs(pen);
    auto add = [&](std::initializer_list<std::string> more) { a.insert(a.end(), more); };
    if (const P21Part* pl = c.Part("POLYLINE")) {
      std::vector<double> xs, ys;
      for (const P21Value& v : Items(Arg(*pl, 1))) {
        const Vec q = Point(v);
        xs.push_back(q.x);
        ys.push_back(q.y);
      }
      add({Int(static_cast<int64_t>(xs.size())), List(xs), List(ys)});
      Emit("polyline_feature", a);
      return true;
    }
    if (const P21Part* ci = c.Part("CIRCLE")) {
      const auto [at, rot] = Placement(Arg(*ci, 1));
      (void)rot;
      add({Num(at.x), Num(at.y), Num(Number(Arg(*ci, 2)))});
      Emit("circle_feature", a);
      return true;
    }
    if (const P21Part* el = c.Part("ELLIPSE")) {
      const auto [at, rot] = Placement(Arg(*el, 1));
      add({Num(at.x), Num(at.y), Num(Number(Arg(*el, 2))), Num(Number(Arg(*el, 3))),
           Num(rot * kRadToDeg)});
      Emit("ellipse_feature", a);
      return true;
    }
    const P21Part* tc = c.Part("TRIMMED_CURVE");
    if (!tc) return false;
    const P21Instance& basis = Ref(Arg(*tc, 1), "a trimmed curve's basis");
    const bool sense = Arg(*tc, 4).kind != Kind::kEnum || Arg(*tc, 4).text != "F";
    if (const P21Part* ln = basis.Part("LINE")) {
      const Vec s = Trim(Arg(*tc, 2), ln), e = Trim(Arg(*tc, 3), ln);
      add({Num(s.x), Num(s.y), Num(e.x), Num(e.y)});
      Emit("line_feature", a);
      return true;
    }
    const P21Part* ci = basis.Part("CIRCLE");
    const P21Part* el = basis.Part("ELLIPSE");
    if (!ci && !el) return false;
    const auto [at, rot] = Placement(Arg(ci ? *ci : *el, 1));
    const double rx = Number(Arg(ci ? *ci : *el, 2));
    const double ry = el ? Number(Arg(*el, 3)) : rx;
    // Clang 14 cannot capture structured bindings, so the lambda takes copies.
    auto angle = [&, at = at, rot = rot](const P21Value& trim) {
      // A parameter (radians from the placement's x axis) or a point on the curve.
      for (const P21Value& t : Items(trim)) {
        if (t.kind == Kind::kTyped && t.text == "PARAMETER_VALUE") return Number(t) * kRadToDeg;
      }
      for (const P21Value& t : Items(trim)) {
        if (t.kind == Kind::kRef) {
          const Vec q = Point(t);
          const double c0 = std::cos(-rot), s0 = std::sin(-rot);
          const double lx = (q.x - at.x) * c0 - (q.y - at.y) * s0;
          const double ly = (q.x - at.x) * s0 + (q.y - at.y) * c0;
          return std::atan2(ly / ry, lx / rx) * kRadToDeg;
        }
      }
      throw Fault{"a trimmed curve's trim is neither a parameter nor a point"};
    };
    const double t1 = angle(Arg(*tc, 2)), t2 = angle(Arg(*tc, 3));
    if (ci) {
      add({Num(at.x), Num(at.y), Num(rx), sense ? "0" : "1", Num(t1 + rot * kRadToDeg),
           Num(t2 + rot * kRadToDeg)});
      Emit("arc_feature", a);
    } else {
      add({Num(at.x), Num(at.y), Num(rx), Num(ry), sense ? "0" : "1", Num(rot * kRadToDeg), Num(t1),
           Num(t2)});
      Emit("ellipse_arc_feature", a);
    }
    return true;
  }

  // A trim of a line: a point, or a parameter along its vector.
  Vec Trim(const P21Value& trim, const P21Part* line) const {
    for (const P21Value& t : Items(trim))
      if (t.kind == Kind::kRef) return Point(t);
    for (const P21Value& t : Items(trim)) {
      if (t.kind == Kind::kTyped && t.text == "PARAMETER_VALUE") {
        const Vec o = Point(Arg(*line, 1));
        const P21Part& vec = PartOf(Ref(Arg(*line, 2), "a vector"), "VECTOR");
        const Vec d = Direction(Arg(vec, 1));
        const double len = std::hypot(d.x, d.y);
        const double m = Number(Arg(vec, 2)) * Number(t) / (len > 0 ? len : 1);
        return {o.x + d.x * m, o.y + d.y * m};
      }
    }
    throw Fault{"a line's trim is neither a point nor a parameter"};
  }

  // A composite curve: its segments as curves of layer 0 with no style,
  // then the record that closes them with the composite's style and
  // whether it is shown.
  void Composite(const P21Instance& occ, const P21Instance& comp, const P21Instance* style) {
    if (compositeIndex_.count(comp.number)) return;
    Segments(comp, 0);
    At(occ);
    const Pen pen = CurvePen(style, 0);
    Emit("composite_curve_org_feature",
         {Int(pen.colour), Int(pen.type), Int(pen.width), hidden_.count(occ.number) ? "0" : "1"});
    compositeIndex_[comp.number] = ++composites_;
  }

  void Segments(const P21Instance& comp, int depth) {
    if (depth >= kMaxCompositeDepth)
      throw Fault{"composite curves nest in a ring or deeper than " +
                  std::to_string(kMaxCompositeDepth)};
    const P21Part& cc = PartOf(comp, "COMPOSITE_CURVE");
    for (const P21Value& sv : Items(Arg(cc, 1))) {
      const P21Instance& seg = Ref(sv, "a composite curve segment");
      const P21Part& sp = PartOf(seg, "COMPOSITE_CURVE_SEGMENT");
      const P21Instance& parent = Ref(Arg(sp, 2), "a segment's curve");
      if (parent.Is("COMPOSITE_CURVE")) {
        Segments(parent, depth + 1);
      } else if (!CurveRecord(parent, Pen{0, 0, 0, 0})) {
        throw Fault{"a composite curve holds a curve of kind " + parent.parts[0].name +
                    ", which is not read"};
      }
    }
  }

  // ---- texts ----

  TextData TextOf(const P21Instance& occ) {
    const Styled s = StyledOf(occ);
    const P21Instance& lit = Ref(*s.item, "a text literal");
    const P21Part* tl = lit.Part("TEXT_LITERAL_WITH_EXTENT");
    if (!tl) tl = lit.Part("TEXT_LITERAL");
    if (!tl) throw Fault{"a text occurrence's item is not a TEXT_LITERAL"};
    TextData t;
    const std::string name = String(Arg(*tl, 0));
    t.str = String(Arg(*tl, 1));
    const auto [at, placementAngle] = Placement(Arg(*tl, 2));
    const std::string alignment = String(Arg(*tl, 3));
    const P21Value& path = Arg(*tl, 4);
    t.direct = path.kind == Kind::kEnum && (path.text == "DOWN" || path.text == "UP") ? 2 : 1;
    t.font = CodeOf(textFonts_, Arg(*tl, 5), "a text font");
    if (tl->args.size() > 6)
      if (const P21Instance* ex = RefOrNull(tl->args[6]))
        if (const P21Part* pe = ex->Part("PLANAR_EXTENT")) {
          t.width = Number(Arg(*pe, 1));
          t.height = Number(Arg(*pe, 2));
        }
    t.angle = placementAngle * kRadToDeg;
    if (const P21Instance* style = StyleOf(s)) TextStyle(*style, t);
    t.bpnt = CodeIn(kBasePoints, name);
    if (t.bpnt == 0) {  // other writers: the alignment alone, on the base line
      t.bpnt = alignment == "baseline centre" ? 2 : alignment == "baseline right" ? 3 : 1;
    }
    // Back from the writer's point to the SFC text point.
    const double a = t.angle / kRadToDeg;
    const double shift = t.bpnt <= 3 ? -t.height / 2 : t.bpnt <= 6 ? t.height / 2 : t.height;
    t.x = at.x - shift * std::sin(a);
    t.y = at.y + shift * std::cos(a);
    return t;
  }

  // Height, angles, spacing and colour wherever the style's parts hold them.
  void TextStyle(const P21Instance& style, TextData& t) const {
    for (const P21Part& part : style.parts)
      for (const P21Value& v : part.args) TextStyleValue(v, t, 0);
  }
  void TextStyleValue(const P21Value& v, TextData& t, int depth) const {
    if (depth > 4) return;
    if (v.kind == Kind::kTyped) {
      if (v.text == "BOX_HEIGHT")
        t.height = Number(v);
      else if (v.text == "BOX_SLANT_ANGLE")
        t.slant = Number(v) * kRadToDeg;
      else if (v.text == "BOX_ROTATE_ANGLE")
        t.angle = Number(v) * kRadToDeg;
      else if (v.text == "LENGTH_MEASURE")
        t.spc = Number(v);
      return;
    }
    if (v.kind == Kind::kRef) {
      if (const P21Instance* f = p_.Find(v.ref))
        if (const P21Part* fp = f->Part("TEXT_STYLE_FOR_DEFINED_FONT"); fp && !fp->args.empty())
          t.colour = CodeOf(colours_, fp->args[0], "a colour");
      return;
    }
    for (const P21Value& i : v.items) TextStyleValue(i, t, depth + 1);
  }

  // layer, colour, font, text, x, y, height, width, spacing, angle, slant,
  // base point, direction (the text feature; others start at the font).
  std::vector<std::string> TextRecord(int layer, const TextData& t, bool withPen) {
    std::vector<std::string> a;
    if (withPen) a = {Int(layer), Int(t.colour)};
    a.insert(a.end(), {Int(t.font), Text(t.str), Num(t.x), Num(t.y), Num(t.height), Num(t.width),
                       Num(t.spc), Num(t.angle), Num(t.slant), Int(t.bpnt), Int(t.direct)});
    return a;
  }

  // ---- callouts ----

  struct Terminator {
    int code = 0, way = 1;
    Vec at;
    double scale = 0;
    bool known = false;
  };

  Terminator TerminatorOf(const P21Instance& occ, Vec along) {
    Terminator t;
    const Styled s = StyledOf(occ);
    const P21Instance& sym = Ref(*s.item, "a terminator symbol");
    const P21Part& ds = PartOf(sym, "DEFINED_SYMBOL");
    if (const P21Instance* d = RefOrNull(Arg(ds, 1)))
      if (const P21Part* pd = d->Part("PRE_DEFINED_TERMINATOR_SYMBOL"))
        t.code = CodeIn(kArrows, String(Arg(*pd, 0)));
    if (t.code == 0) t.code = 6;
    const P21Part& target = PartOf(Ref(Arg(ds, 2), "a symbol target"), "SYMBOL_TARGET");
    const auto [at, angle] = Placement(Arg(target, 1));
    t.at = at;
    t.scale = Number(Arg(target, 2));
    // Inwards (1): the arrow points away from the line's middle, along it.
    const double dot = std::cos(angle) * along.x + std::sin(angle) * along.y;
    t.way = dot >= 0 ? 1 : 2;
    t.known = true;
    return t;
  }

  void Callout(const P21Instance& c) {
    const bool linear = c.Is("LINEAR_DIMENSION");
    const bool leader = c.Is("LEADER_DIRECTED_CALLOUT");
    if (c.Is("STRUCTURED_DIMENSION_CALLOUT") && !linear && !leader)
      return;  // the text of a dimension
    const P21Part& dc = PartOf(c, "DRAUGHTING_CALLOUT");
    std::vector<const P21Instance*> children;
    for (const P21Value& v : Items(Arg(dc, 0)))
      if (const P21Instance* i = RefOrNull(v)) children.push_back(i);
    if (linear) return LinearDimension(c, children);
    if (leader) return Label(c, children);
    // Other dimensions: their curves and texts as they are drawn.
    LeftOut(c, "a dimension of a kind not read yet (its curves and texts are kept)");
    for (const P21Instance* i : children) {
      At(*i);
      if (i->Is("ANNOTATION_CURVE_OCCURRENCE"))
        Curve(*i);
      else if (i->Is("ANNOTATION_TEXT_OCCURRENCE"))
        Emit("text_string_feature", TextRecord(LayerOf(c.number), TextOf(*i), true));
    }
  }

  struct LineCurve {
    Vec s, e, base;
    Pen pen;
  };
  LineCurve LineOf(const P21Instance& occ, int layer) {
    const Styled s = StyledOf(occ);
    const P21Instance& item = Ref(*s.item, "a line");
    const P21Part& tc = PartOf(item, "TRIMMED_CURVE");
    const P21Part& ln = PartOf(Ref(Arg(tc, 1), "a line"), "LINE");
    LineCurve l;
    l.s = Trim(Arg(tc, 2), &ln);
    l.e = Trim(Arg(tc, 3), &ln);
    l.base = Point(Arg(ln, 1));
    l.pen = CurvePen(StyleOf(s), layer);
    return l;
  }

  void LinearDimension(const P21Instance& c, const std::vector<const P21Instance*>& children) {
    const P21Instance* line = nullptr;
    const P21Instance* text = nullptr;
    std::vector<const P21Instance*> projections, arrows;
    for (const P21Instance* i : children) {
      if (i->Is("PROJECTION_CURVE"))
        projections.push_back(i);
      else if (i->Is("DIMENSION_CURVE"))
        line = i;
      else if (i->Is("ANNOTATION_TEXT_OCCURRENCE"))
        text = i;
      else if (i->Is("TERMINATOR_SYMBOL") || i->Is("DIMENSION_CURVE_TERMINATOR"))
        arrows.push_back(i);
    }
    if (!line) throw Fault{"a linear dimension without its dimension curve"};
    const int layer = layerOf_.count(c.number) ? LayerOf(c.number) : LayerOf(line->number);
    const LineCurve d = LineOf(*line, layer);
    std::vector<std::string> a = PenArgs(d.pen);
    a.insert(a.end(), {Num(d.s.x), Num(d.s.y), Num(d.e.x), Num(d.e.y)});
    for (int k = 1; k <= 2; ++k) {
      const P21Instance* pr = nullptr;
      for (const P21Instance* p : projections)
        if (ItemName(*p) == "$$SXF_prj_" + std::to_string(k)) pr = p;
      if (!pr && projections.size() >= static_cast<size_t>(k) &&
          ItemName(*projections[k - 1]).rfind("$$SXF_prj_", 0) != 0)
        pr = projections[k - 1];
      if (!pr) {
        a.insert(a.end(), {"0", "0", "0", "0", "0", "0", "0"});
        continue;
      }
      const LineCurve p = LineOf(*pr, layer);
      a.insert(a.end(),
               {"1", Num(p.base.x), Num(p.base.y), Num(p.s.x), Num(p.s.y), Num(p.e.x), Num(p.e.y)});
    }
    const Vec along{d.e.x - d.s.x, d.e.y - d.s.y};
    for (int k = 1; k <= 2; ++k) {
      Terminator t;
      for (const P21Instance* ar : arrows) {
        const P21Part* end = ar->Part("DIMENSION_CURVE_TERMINATOR");
        const bool origin = end && !end->args.empty() && end->args[0].text == "ORIGIN";
        const bool named = ItemName(*ar) == "$$SXF_arw_" + std::to_string(k);
        if (named || (end && origin == (k == 1) && !t.known))
          t = TerminatorOf(*ar, k == 1 ? Vec{-along.x, -along.y} : along);
      }
      a.insert(a.end(),
               {Int(t.code), Int(t.known ? t.way : 0), Num(t.at.x), Num(t.at.y), Num(t.scale)});
    }
    TextArgs(text, a);
    At(c);
    Emit("linear_dim_feature", a);
  }

  void TextArgs(const P21Instance* text, std::vector<std::string>& a) {
    if (!text) {
      a.insert(a.end(), {"0", "-1", "", "0", "0", "0", "0", "0", "0", "0", "1", "1"});
      return;
    }
    a.push_back("1");
    const std::vector<std::string> t = TextRecord(0, TextOf(*text), false);
    a.insert(a.end(), t.begin(), t.end());
  }

  void Label(const P21Instance& c, const std::vector<const P21Instance*>& children) {
    const P21Instance* curve = nullptr;
    const P21Instance* text = nullptr;
    const P21Instance* arrow = nullptr;
    for (const P21Instance* i : children) {
      if (i->Is("LEADER_CURVE"))
        curve = i;
      else if (i->Is("ANNOTATION_TEXT_OCCURRENCE"))
        text = i;
      else if (i->Is("LEADER_TERMINATOR") || i->Is("TERMINATOR_SYMBOL"))
        arrow = i;
    }
    if (!curve) throw Fault{"a leader without its leader curve"};
    const int layer = layerOf_.count(c.number) ? LayerOf(c.number) : LayerOf(curve->number);
    const Styled s = StyledOf(*curve);
    const P21Part& pl = PartOf(Ref(*s.item, "a leader's polyline"), "POLYLINE");
    std::vector<double> xs, ys;
    for (const P21Value& v : Items(Arg(pl, 1))) {
      const Vec q = Point(v);
      xs.push_back(q.x);
      ys.push_back(q.y);
    }
    std::vector<std::string> a = PenArgs(CurvePen(StyleOf(s), layer));
    a.insert(a.end(), {Int(static_cast<int64_t>(xs.size())), List(xs), List(ys)});
    Terminator t;
    if (arrow) t = TerminatorOf(*arrow, {1, 0});
    a.insert(a.end(), {Int(t.code), Num(t.scale)});
    TextArgs(text, a);
    At(c);
    Emit("label_feature", a);
  }

  // ---- placements, hatching, markers ----

  void Locate(const P21Instance& occ) {
    const Styled s = StyledOf(occ);
    const P21Instance& mapped = Ref(*s.item, "a mapped item");
    const P21Part& mi = PartOf(mapped, "MAPPED_ITEM");
    const P21Part& map = PartOf(Ref(Arg(mi, 0), "a symbol map"), "SYMBOL_REPRESENTATION_MAP");
    const P21Instance& rep = Ref(Arg(map, 1), "a subfigure");
    if (!rep.Is("DRAUGHTING_SUBFIGURE_REPRESENTATION"))
      throw Fault{"it places #" + std::to_string(rep.number) + ", which is no subfigure"};
    const std::string name = FigureName(String(Arg(rep.parts.front(), 0))).first;
    const P21Part& target = PartOf(Ref(Arg(mi, 1), "a symbol target"), "SYMBOL_TARGET");
    const auto [at, angle] = Placement(Arg(target, 1));
    Emit("sfig_locate_feature",
         {Int(LayerOf(occ.number)), Text(name), Num(at.x), Num(at.y), Num(angle * kRadToDeg),
          Num(Number(Arg(target, 2))), Num(Number(Arg(target, 3)))});
  }

  void Marker(const P21Instance& occ) {
    const Styled s = StyledOf(occ);
    const P21Instance& sym = Ref(*s.item, "a symbol");
    const P21Part* ds = sym.Part("DEFINED_SYMBOL");
    const P21Instance* def = ds ? RefOrNull(Arg(*ds, 1)) : nullptr;
    const P21Part* pm = def ? def->Part("PRE_DEFINED_POINT_MARKER_SYMBOL") : nullptr;
    if (!pm) return LeftOut(occ, "a symbol that is no point marker");
    const P21Part& target = PartOf(Ref(Arg(*ds, 2), "a symbol target"), "SYMBOL_TARGET");
    const auto [at, angle] = Placement(Arg(target, 1));
    int colour = 1;
    if (const P21Instance* st = StyleOf(s))
      if (const P21Part* ss = st->Part("SYMBOL_STYLE"))
        if (const P21Instance* sc = RefOrNull(Arg(*ss, 1)))
          if (const P21Part* scp = sc->Part("SYMBOL_COLOUR"))
            colour = CodeOf(colours_, Arg(*scp, 0), "a colour");
    Emit("point_marker_feature", {Int(LayerOf(occ.number)), Int(colour), Num(at.x), Num(at.y),
                                  Int(std::max(1, CodeIn(kMarkers, String(Arg(*pm, 0))))),
                                  Num(angle * kRadToDeg), Num(Number(Arg(target, 2)))});
  }

  // Composite curve numbers of a fill's boundaries: outer, then inner.
  std::vector<int> Boundaries(const P21Instance& area) {
    const P21Part& fa = PartOf(area, "ANNOTATION_FILL_AREA");
    std::vector<int> ids;
    for (const P21Value& v : Items(Arg(fa, 1))) {
      const P21Instance& b = Ref(v, "a boundary");
      if (!compositeIndex_.count(b.number)) {
        if (!b.Is("COMPOSITE_CURVE")) throw Fault{"a fill's boundary is not a composite curve"};
        Segments(b, 0);
        Emit("composite_curve_org_feature", {"1", "1", "1", "0"});
        compositeIndex_[b.number] = ++composites_;
      }
      ids.push_back(compositeIndex_[b.number]);
    }
    if (ids.empty()) throw Fault{"a fill has no boundary"};
    return ids;
  }

  void Fill(const P21Instance& occ) {
    const Styled s = StyledOf(occ);
    const P21Instance& area = Ref(*s.item, "a fill area");
    const std::vector<int> ids = Boundaries(area);
    At(occ);
    std::vector<std::string> tail{Int(ids[0]), Int(static_cast<int64_t>(ids.size() - 1))};
    std::vector<double> inner(ids.begin() + 1, ids.end());
    tail.push_back(List(inner));
    const int layer = LayerOf(occ.number);
    const P21Instance* style = StyleOf(s);
    const P21Part* fas = style ? style->Part("FILL_AREA_STYLE") : nullptr;
    if (!fas) return LeftOut(occ, "a fill without a FILL_AREA_STYLE");
    std::vector<const P21Instance*> hatchings;
    for (const P21Value& v : Items(Arg(*fas, 1))) {
      const P21Instance& st = Ref(v, "a fill style");
      if (const P21Part* ext = st.Part("EXTERNALLY_DEFINED_HATCH_STYLE")) {
        std::vector<std::string> a{Int(layer), Text(String(Arg(*ext, 0)))};
        a.insert(a.end(), tail.begin(), tail.end());
        Emit("externally_defined_hatch_feature", a);
      } else if (const P21Part* col = st.Part("FILL_AREA_STYLE_COLOUR")) {
        std::vector<std::string> a{Int(layer), Int(CodeOf(colours_, Arg(*col, 1), "a colour"))};
        a.insert(a.end(), tail.begin(), tail.end());
        Emit("fill_area_style_colour_feature", a);
      } else if (st.Is("FILL_AREA_STYLE_HATCHING")) {
        hatchings.push_back(&st);
      } else if (st.Is("FILL_AREA_STYLE_TILES")) {
        Emit("fill_area_style_tiles_feature", {Int(layer)});
      } else {
        LeftOut(occ, "a fill style " + st.parts[0].name);
      }
    }
    if (hatchings.empty()) return;
    if (hatchings.size() > 4) throw Fault{"a hatching of more than 4 patterns"};
    std::vector<std::string> a{Int(layer), Int(static_cast<int64_t>(hatchings.size()))};
    for (auto it = hatchings.rbegin(); it != hatchings.rend(); ++it) {
      const P21Part& h = PartOf(**it, "FILL_AREA_STYLE_HATCHING");
      const Pen pen = CurvePen(&Ref(Arg(h, 1), "a hatch line style"), layer);
      const P21Part& rf = PartOf(Ref(Arg(h, 2), "a repeat factor"), "ONE_DIRECTION_REPEAT_FACTOR");
      const P21Part& vec = PartOf(Ref(Arg(rf, 1), "a vector"), "VECTOR");
      const Vec start = Point(Arg(h, 3));
      a.push_back(List({static_cast<double>(pen.colour), static_cast<double>(pen.type),
                        static_cast<double>(pen.width), start.x, start.y, Number(Arg(vec, 2)),
                        Number(Arg(h, 5)) * kRadToDeg}));
    }
    a.insert(a.end(), tail.begin(), tail.end());
    Emit("fill_area_style_hatching_feature", a);
  }

  const P21File& p_;
  SfcReport& rep_;
  SfcFile& f_;
  int64_t cur_ = 0;
  size_t curOffset_ = 0;
  std::unordered_map<int64_t, int> colours_, fonts_, widths_, textFonts_, layerOf_;
  std::unordered_set<int64_t> hidden_, listed_;
  std::unordered_map<int64_t, int> compositeIndex_;
  int composites_ = 0;

 public:
  int64_t current() const { return cur_; }
  size_t currentOffset() const { return curOffset_; }
};

}  // namespace

bool P21ToSfc(const P21File& p21, std::string_view text, SfcReport& report, bool* needsUnicode) {
  Converter c(p21, report);
  try {
    c.Run();
  } catch (const Fault& f) {
    report.error.record = c.current();
    report.error.line = LineAt(text, c.currentOffset());
    report.error.reason = f.reason;
    return false;
  }
  if (needsUnicode) *needsUnicode = c.needsUnicode;
  return true;
}

bool ReadP21(std::span<const uint8_t> bytes, jww::TJwwData& doc, SfcReport& report,
             int64_t maxPlacements) {
  report = SfcReport{};
  doc.DataInit();
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  P21File p21;
  if (!ParseP21(bytes, p21, report.error)) return false;
  bool unicode = false;
  if (!P21ToSfc(p21, text, report, &unicode)) return false;
  if (!BuildSfcDrawing(report, doc, text, maxPlacements)) return false;
  // Texts that code page 932 cannot hold are kept as UTF-16.
  if (unicode) doc.MojiEncode = true;
  return true;
}

bool LooksLikeP21(std::span<const uint8_t> bytes) {
  std::string_view s(reinterpret_cast<const char*>(bytes.data()),
                     std::min<size_t>(bytes.size(), 8192));
  if (s.starts_with("\xEF\xBB\xBF")) s.remove_prefix(3);
  while (!s.empty() &&
         (s.front() == ' ' || s.front() == '\r' || s.front() == '\n' || s.front() == '\t'))
    s.remove_prefix(1);
  return s.starts_with("ISO-10303-21;") && s.find("/*SXF") == std::string_view::npos &&
         s.find("DATA;") != std::string_view::npos;
}

}  // namespace sxf
