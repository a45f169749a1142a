// The names of the elements the program refers to, one constant each, so that
// a misspelt name cannot compile. The element tables (main_form.cpp,
// care_form.cpp) are built from these same constants. A name a form does not
// have is reported by Form::Find (ui/elements.h).
#pragma once

#include <array>
#include <string_view>

namespace tarvex::ui::names {

// ---- the gadget window `main` ----
// Panels of the readouts, and the parked holder of button looks and glyphs.
inline constexpr std::string_view kPicture1 = "Picture1";
inline constexpr std::string_view kPicture2 = "Picture2";
inline constexpr std::string_view kPicture3 = "Picture3";
// The four picture buttons.
inline constexpr std::string_view kBClose = "b_close";
inline constexpr std::string_view kBHide = "b_hide";
inline constexpr std::string_view kBRach = "b_rach";
inline constexpr std::string_view kBThaw = "b_thaw";
// Grip, separator lines, status bar and status line.
inline constexpr std::string_view kImage6 = "Image6";
inline constexpr std::string_view kLine1 = "Line1";
inline constexpr std::string_view kLine2 = "Line2";
inline constexpr std::string_view kImage5 = "Image5";
inline constexpr std::string_view kInfo = "info";
// Parked stores of strings.
inline constexpr std::string_view kMleft = "mleft";
inline constexpr std::string_view kMtop = "mtop";
inline constexpr std::string_view kText1 = "Text1";
inline constexpr std::string_view kDatac = "Datac";
inline constexpr std::string_view kMemc = "memc";
inline constexpr std::string_view kMemt = "memt";
// Timers and the tray icon.
inline constexpr std::string_view kDateCheck = "DateCheck";
inline constexpr std::string_view kTimer1 = "Timer1";
inline constexpr std::string_view kTimer2 = "Timer2";
inline constexpr std::string_view kSyst = "syst";
// The date and time strip inside Picture1: MM/DD hh:mm.
inline constexpr std::string_view kT1 = "t1";
inline constexpr std::string_view kT2 = "t2";
inline constexpr std::string_view kImage11 = "Image11";  // the slash
inline constexpr std::string_view kT3 = "t3";
inline constexpr std::string_view kT4 = "t4";
inline constexpr std::string_view kTt1 = "tt1";
inline constexpr std::string_view kTt2 = "tt2";
inline constexpr std::string_view kImage12 = "Image12";  // the colon
inline constexpr std::string_view kTt3 = "tt3";
inline constexpr std::string_view kTt4 = "tt4";
// The memory strips inside Picture2: legend, seven cells, fixed dot.
inline constexpr std::string_view kImage3 = "Image3";  // legend of the total
inline constexpr std::string_view kImage4 = "Image4";  // legend of the free memory
inline constexpr std::string_view kImage1 = "Image1";  // dot of the total
inline constexpr std::string_view kImage2 = "Image2";  // dot of the free memory
inline constexpr std::array<std::string_view, 7> kTotalCells = {"m0", "m1", "m2", "m3",
                                                                 "m4", "m5", "m6"};
inline constexpr std::array<std::string_view, 7> kFreeCells = {"mm0", "mm1", "mm2", "mm3",
                                                                "mm4", "mm5", "mm6"};
// Holders of the buttons' normal and pressed looks inside Picture3.
inline constexpr std::string_view kC1 = "c1";
inline constexpr std::string_view kC2 = "c2";
inline constexpr std::string_view kH1 = "h1";
inline constexpr std::string_view kH2 = "h2";
inline constexpr std::string_view kR1 = "r1";
inline constexpr std::string_view kR2 = "r2";
inline constexpr std::string_view kW1 = "w1";
inline constexpr std::string_view kW2 = "w2";
// The glyph images s0 .. s9 inside Picture3: glyph N shows digit N.
inline constexpr std::array<std::string_view, 10> kGlyphs = {"s0", "s1", "s2", "s3", "s4",
                                                             "s5", "s6", "s7", "s8", "s9"};

// ---- the settings window `care` ----
inline constexpr std::string_view kCommand1 = "Command1";  // OK
inline constexpr std::string_view kCareText1 = "text1";
inline constexpr std::string_view kCommand2 = "Command2";
inline constexpr std::string_view kActc = "actc";  // the always-on-top check box
inline constexpr std::string_view kText2 = "Text2";

// ---- the frame pieces, in both windows ----
inline constexpr std::string_view kLt = "lt";
inline constexpr std::string_view kMt = "mt";
inline constexpr std::string_view kRt = "rt";
inline constexpr std::string_view kLm = "lm";
inline constexpr std::string_view kRm = "rm";
inline constexpr std::string_view kLb = "lb";
inline constexpr std::string_view kMb = "mb";
inline constexpr std::string_view kRb = "rb";
inline constexpr std::array<std::string_view, 8> kFramePieces = {kLt, kMt, kRt, kLm,
                                                                 kRm, kLb, kMb, kRb};

}  // namespace tarvex::ui::names
