// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sample_sfc.h"

#include <cstdio>
#include <random>

#include "util/encoding.h"

namespace tools {

namespace {

std::string Q(const std::string& s) { return "\\'" + s + "\\'"; }

std::string N(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  return std::string("'") + buf + "'";
}

std::string I(int v) { return "'" + std::to_string(v) + "'"; }

// SFC files are Shift-JIS; these sources are UTF-8.
std::string ShiftJis(const std::string& utf8) {
  const util::Bytes b = util::StrToAnsiBytes(util::FromUtf8(utf8));
  return std::string(b.begin(), b.end());
}

}  // namespace

std::string SfcEnvelope(const std::string& data) {
  // Not a message: the envelope of an SFC file.
  return "ISO-10303-21;\r\nHEADER;\r\nFILE_DESCRIPTION(('SCADEC level2 feature_mode'),\r\n"
         "        '2;1');\r\nFILE_NAME('sample.sfc',\r\n        '2026-12-9T12:00:00',\r\n"
         "        (''),\r\n        (''),\r\n        'SCADEC_API_Ver3.10$$3.0',\r\n"
         "        'brindle-samples',\r\n        '');\r\n"
         "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\r\nENDSEC;\r\nDATA;\r\n\r\n" +
         data + "ENDSEC;\r\nEND-ISO-10303-21;\r\n";
}

std::string SfcRecord(int64_t n, const std::string& body) {
  return "/*SXF\r\n#" + std::to_string(n) + " = " + body + "\r\nSXF*/\r\n\r\n";
}

std::string MakeSampleSfc() {
  int n = 10;
  std::string d;
  auto add = [&](const std::string& body) {
    d += SfcRecord(n, body);
    n += 10;
  };
  add("pre_defined_colour_feature(" + Q("red") + ")");
  add("user_defined_colour_feature('10','20','30')");
  add("pre_defined_font_feature(" + Q("continuous") + ")");
  add("user_defined_font_feature(" + Q("mine") + ",'2','(3.000000,1.000000)')");
  add("width_feature('0.250000')");
  add("width_feature('0.300000')");
  add("text_font_feature(" + Q("ＭＳ 明朝") + ")");
  // Sub-drawing 1 (flag 1) at 1:2, holding a symbol.
  add("line_feature('2','1','1','3','0','0','0','100')");
  add("sfig_org_feature(" + Q("sym") + ",'4')");
  add("line_feature('2','2','1','3','0','0','100','0')");
  add("circle_feature('2','17','1','10','10','10','5')");
  add("sfig_locate_feature('2'," + Q("sym") + ",'50','50','90','1','1')");
  add("sfig_org_feature(" + Q("part-1") + ",'1')");
  // Sub-drawing 2 in surveying coordinates (x north, y east).
  add("line_feature('3','5','1','3','0','0','10','0')");
  add("arc_feature('3','5','1','3','0','0','10','0','0','90')");
  add("sfig_org_feature(" + Q("part-2") + ",'2')");
  // The sheet.
  add("line_feature('1','2','1','3','10','10','60','10')");
  add("polyline_feature('1','2','16','3','3','(10,20,30)','(20,30,20)')");
  add("arc_feature('1','2','1','3','100','50','10','1','0','90')");
  add("ellipse_feature('1','2','1','3','150','50','20','10','30')");
  add("ellipse_arc_feature('1','2','1','3','200','50','20','10','0','0','0','180')");
  add("point_marker_feature('1','2','250','50','1','0','1')");
  add("text_string_feature('1','8','1'," + Q("文字ソ") + ",'10','100','5','15','0','0','0','1','1')");
  add("spline_feature('1','2','1','3','0','4','(10,20,30,40)','(150,160,150,160)')");
  add("clothoid_feature('1','2','1','3','60','150','30','1','0','0','40')");
  add("linear_dim_feature('1','2','1','1','10','200','60','200','1','10','190','10','191','10','202',"
      "'1','60','190','60','191','60','202','3','1','10','200','1','3','1','60','200','1','1','1'," +
      Q("50") + ",'35','201','3.5','7','0','0','0','2','1')");
  add("radius_dim_feature('1','2','1','1','100','200','110','200','3','1','110','200','1','1','1'," +
      Q("R10") + ",'105','201','3.5','10.5','0','0','0','2','1')");
  add("diameter_dim_feature('1','2','1','1','130','200','150','200','3','1','130','200','1','3','1',"
      "'150','200','1','1','1'," + Q("φ20") + ",'140','201','3.5','10.5','0','0','0','2','1')");
  add("angular_dim_feature('1','2','1','1','200','200','20','0','90','1','200','200','201','200',"
      "'222','200','1','200','200','200','201','200','222','3','1','220','200','1','3','1','200',"
      "'220','1','1','1'," + Q("90°") + ",'215','215','3.5','10.5','0','0','0','1','1')");
  add("label_feature('1','2','1','1','2','(250,270)','(200,220)','3','1','1','1'," + Q("注記") +
      ",'272','220','3.5','7','0','0','0','1','1')");
  add("balloon_feature('1','2','1','1','2','(300,320)','(200,220)','325','225','5','3','1','1','1'," +
      Q("1") + ",'325','225','3.5','1.75','0','0','0','5','1')");
  add("polyline_feature('0','0','0','0','5','(300,340,340,300,300)','(20,20,60,60,20)')");
  add("composite_curve_org_feature('2','1','3','1')");
  add("fill_area_style_colour_feature('1','17','1','0','()')");
  add("fill_area_style_hatching_feature('1','1','(2,1,3,300,20,5,45)','1','0','()')");
  add("externally_defined_hatch_feature('1'," + Q("Area_control") + ",'1','0','()')");
  add("sfig_locate_feature('1'," + Q("part-1") + ",'200','100','0','0.5','0.5')");
  add("sfig_locate_feature('1'," + Q("part-2") + ",'100','100','0','1','1')");
  add("drawing_attribute_feature(" + Q("工事") + "," + Q(" ") + "," + Q(" ") + "," + Q(" ") + "," +
      Q(" ") + "," + Q(" ") + "," + Q(" ") + ",'0','1','1'," + Q(" ") + "," + Q(" ") + ")");
  add("drawing_sheet_feature(" + Q("図面") + ",'3','1','420','297')");
  add("layer_feature(" + Q("sheet") + ",'1')");
  add("layer_feature(" + Q("part") + ",'1')");
  add("layer_feature(" + Q("hidden") + ",'0')");
  return ShiftJis(SfcEnvelope(d));
}

std::string MakeSfcBench(int features, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> pos(0, 4000), len(-200, 200);
  std::uniform_int_distribution<int> kind(0, 99), layer(1, 4), colour(1, 16);
  std::string d;
  d.reserve(static_cast<size_t>(features) * 110 + 4096);
  int64_t n = 10;
  auto add = [&](const std::string& body) {
    d += SfcRecord(n, body);
    n += 10;
  };
  auto feature = [&]() {
    const int k = kind(rng);
    const std::string head = I(layer(rng)) + "," + I(colour(rng)) + ",'1','3',";
    const double x = pos(rng), y = pos(rng);
    if (k < 70) {
      add("line_feature(" + head + N(x) + "," + N(y) + "," + N(x + len(rng)) + "," + N(y + len(rng)) + ")");
    } else if (k < 80) {
      add("polyline_feature(" + head + "'3','(" + std::to_string(x) + "," + std::to_string(x + 50) +
          "," + std::to_string(x + 100) + ")','(" + std::to_string(y) + "," + std::to_string(y + 50) +
          "," + std::to_string(y) + ")')");
    } else if (k < 88) {
      add("arc_feature(" + head + N(x) + "," + N(y) + ",'25.000000','0','10.000000','200.000000')");
    } else if (k < 97) {
      add("text_string_feature(" + I(layer(rng)) + "," + I(colour(rng)) + ",'1',\\'寸法 ABC\\'," +
          N(x) + "," + N(y) + ",'50.000000','300.000000','0.000000','0.000000','0.000000','1','1')");
    } else {
      add("linear_dim_feature(" + head + N(x) + "," + N(y) + "," + N(x + 100) + "," + N(y) +
          ",'0','0','0','0','0','0','0','0','0','0','0','0','0','0','3','1'," + N(x) + "," + N(y) +
          ",'1','3','1'," + N(x + 100) + "," + N(y) + ",'1','1','1',\\'100\\'," + N(x + 40) + "," +
          N(y + 10) + ",'50.000000','150.000000','0.000000','0.000000','0.000000','1','1')");
    }
  };
  add("text_font_feature(\\'ＭＳ ゴシック\\')");
  const int perPart = features * 2 / 5;
  for (int i = 0; i < perPart; ++i) feature();
  add("sfig_org_feature(\\'part-1\\','1')");
  for (int i = 0; i < perPart; ++i) feature();
  add("sfig_org_feature(\\'part-2\\','1')");
  for (int i = 2 * perPart; i < features; ++i) {
    add("line_feature('1','1','1','1'," + N(pos(rng) / 10) + "," + N(pos(rng) / 10) + "," +
        N(pos(rng) / 10) + "," + N(pos(rng) / 10) + ")");
  }
  add("sfig_locate_feature('1',\\'part-1\\','10.000000','10.000000','0.000000','0.100000','0.100000')");
  add("sfig_locate_feature('1',\\'part-2\\','420.000000','10.000000','0.000000','0.050000','0.050000')");
  add("drawing_sheet_feature(\\'bench\\','1','1','841','594')");
  for (const char* l : {"L1", "L2", "L3", "L4"}) add(std::string("layer_feature(\\'") + l + "\\','1')");
  return ShiftJis(SfcEnvelope(d));
}

}  // namespace tools
