// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sample_p21.h"

namespace tools {

std::string P21Envelope(const std::string& data) {
  // Not a message: instances of a P21 file.
  return "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('SCADEC level2 AP202_mode'),'2;1');\n"
         "FILE_NAME('t.p21','2026-1-1T00:00:00',(''),(''),'test','test','');\n"
         "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\nENDSEC;\nDATA;\n" +
         data + "ENDSEC;\nEND-ISO-10303-21;\n";
}

// Styles, a line in a sub-drawing placed at (200,100) at ratio 0.5, and a
// text on the sheet (an A3 landscape one, 420 × 297).
std::string P21Styles() {
  // Not a message: instances of a P21 file.
  return "#1=DRAUGHTING_PRE_DEFINED_COLOUR('red');\n"
         "#2=DRAUGHTING_PRE_DEFINED_CURVE_FONT('continuous');\n"
         "#3=(LENGTH_UNIT()NAMED_UNIT(*)SI_UNIT(.MILLI.,.METRE.));\n"
         "#4=LENGTH_MEASURE_WITH_UNIT(POSITIVE_LENGTH_MEASURE(0.25),#3);\n"
         "#5=CURVE_STYLE(' ',#2,#4,#1);\n"
         "#6=PRESENTATION_STYLE_ASSIGNMENT((#5));\n"
         "#23=DIRECTION(' ',(1.,0.));\n#43=REPRESENTATION_CONTEXT('ID1','2D');\n";
}
std::string P21Line() {
  // Not a message: instances of a P21 file.
  return "#10=CARTESIAN_POINT(' ',(10.,20.));\n#11=CARTESIAN_POINT(' ',(30.,40.));\n"
         "#12=DIRECTION(' ',(20.,20.));\n#13=VECTOR(' ',#12,1.);\n#14=LINE(' ',#10,#13);\n"
         "#15=TRIMMED_CURVE(' ',#14,(#10),(#11),.T.,.CARTESIAN.);\n"
         "#16=(ANNOTATION_CURVE_OCCURRENCE()ANNOTATION_OCCURRENCE()DRAUGHTING_ANNOTATION_"
         "OCCURRENCE()"
         "GEOMETRIC_REPRESENTATION_ITEM()REPRESENTATION_ITEM(' ')STYLED_ITEM((#6),#15));\n";
}
std::string P21Text() {
  // Not a message: instances of a P21 file.
  return "#20=EXTERNAL_SOURCE(IDENTIFIER('scadec'));\n"
         "#21=EXTERNALLY_DEFINED_TEXT_FONT(IDENTIFIER('\\X2\\FF2DFF33\\X0\\ "
         "\\X2\\30B430B730C330AF\\X0\\'),#20);\n"
         "#22=CARTESIAN_POINT(' ',(100.,51.75));\n"
         "#24=AXIS2_PLACEMENT_2D(' ',#22,#23);\n#25=PLANAR_EXTENT(' ',21.,3.5);\n"
         "#26=TEXT_LITERAL_WITH_EXTENT('$$SXF_baseline left','It''s \\X2\\56F3\\X0\\ "
         "\\X\\E9\\S\\i',"
         "#24,'baseline left',.RIGHT.,#21,#25);\n"
         "#27=TEXT_STYLE_FOR_DEFINED_FONT(#1);\n"
         "#28=(TEXT_STYLE(' ',#27)TEXT_STYLE_WITH_BOX_CHARACTERISTICS((BOX_HEIGHT(3.5),"
         "BOX_WIDTH(2.8),BOX_SLANT_ANGLE(0.),BOX_ROTATE_ANGLE(0.)))"
         "TEXT_STYLE_WITH_SPACING(LENGTH_MEASURE(0.)));\n"
         "#29=PRESENTATION_STYLE_ASSIGNMENT((#28));\n"
         "#30=(ANNOTATION_OCCURRENCE()ANNOTATION_TEXT_OCCURRENCE()DRAUGHTING_ANNOTATION_OCCURRENCE("
         ")"
         "GEOMETRIC_REPRESENTATION_ITEM()REPRESENTATION_ITEM(' ')STYLED_ITEM((#29),#26));\n";
}
std::string P21Figure(const std::string& items) {
  // Not a message: instances of a P21 file.
  return "#40=CARTESIAN_POINT(' ',(0.,0.));\n#41=AXIS2_PLACEMENT_2D(' ',#40,$);\n"
         "#42=DRAUGHTING_SUBFIGURE_REPRESENTATION('$$SXF_FM_fig',(" +
         items +
         "),#43);\n"
         "#44=SYMBOL_REPRESENTATION_MAP(#41,#42);\n"
         "#45=CARTESIAN_POINT(' ',(200.,100.));\n#46=AXIS2_PLACEMENT_2D(' ',#45,#23);\n"
         "#47=SYMBOL_TARGET(' ',#46,0.5,0.5);\n"
         "#48=(ANNOTATION_SYMBOL()GEOMETRIC_REPRESENTATION_ITEM()MAPPED_ITEM(#44,#47)"
         "REPRESENTATION_ITEM(' '));\n"
         "#49=PRESENTATION_STYLE_ASSIGNMENT((NULL_STYLE(.NULL.)));\n"
         "#50=(ANNOTATION_OCCURRENCE()ANNOTATION_SUBFIGURE_OCCURRENCE()ANNOTATION_SYMBOL_"
         "OCCURRENCE()"
         "DRAUGHTING_ANNOTATION_OCCURRENCE()GEOMETRIC_REPRESENTATION_ITEM()"
         "REPRESENTATION_ITEM('$$SXF_FM_fig')STYLED_ITEM((#49),#48));\n";
}
std::string P21Sheet(const std::string& items, const std::string& layer) {
  // Not a message: instances of a P21 file.
  return "#60=DRAWING_SHEET_REVISION('A3_horizontal',(" + items +
         "),#43,'01');\n"
         "#61=PRESENTATION_LAYER_ASSIGNMENT('L1',' ',(" +
         layer + "));\n";
}
std::string MakeSampleP21() {
  return P21Envelope(P21Styles() + P21Line() + P21Text() + P21Figure("#16,#41") +
                     P21Sheet("#30,#50", "#16,#30"));
}

}  // namespace tools
