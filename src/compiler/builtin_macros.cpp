// SPDX-License-Identifier: MIT
// The built-in macro library. Most names map to a numbered backslash command;
// the rest are short forms built from commands, variables and other names.
// The order is part of the library: the macro table keeps it.
#include "zan/builtin_macros.h"

#include <iterator>

#include "zan/tsmf.h"

namespace zan {
namespace {

// clang-format off
constexpr BuiltinMacro kLibrary[] = {
    {"EX",           "\\0"},
    {"EX2",          "\\5"},
    {"NRPN",         "\\1"},
    {"RPN",          "\\2"},
    {"T",            "\\3"},
    {"CH",           "\\4"},
    {"PTR",          "\\6"},
    {"Q",            "\\23"},
    {"CD_DELAY",     "\\24"},
    {"DLY",          "\\24"},
    {"DIV",          "\\25"},
    {"CD_",          "\\26"},
    {"SEL",          "\\27"},
    {"RV",           "\\28"},
    {"RQ",           "\\29"},
    {"RN",           "\\30"},
    {"SWITCH",       "\\27"},
    {"IF",           "\\31"},
    {"RV_CLEAR",     "\\32"},
    {"RQ_CLEAR",     "\\33"},
    {"RN_CLEAR",     "\\34"},
    {"TRN",          "_tr(0)\\35"},
    {"TRNL",         "_tr(0)\\36"},
    {"GHOST_ON",     "\\37"},
    {"GHOST_OFF",    "\\38"},
    {"BACK",         "~507=ptr ? PTR=~507"},
    {"TRIM",         "\\37 ~508=ptr|?1 |~509=ptr\\38 ~510=~509-~508 ~508-~510 PTR=~508 ?1"},
    {"TR",           "_tr(0)\\7"},
    {"LAST_PTR",     "\\8"},
    {"TRL",          "_tr(0)\\9"},
    {"PLAY",         "_tr(0)\\9"},
    {"PRT",          "\\39"},
    {"ACTIVE_CC",    "\\10"},
    {"ACTIVE_PB",    "\\11"},
    {"B",            "\\12"},
    {"RNDV",         "\\13"},
    {"RNDN",         "\\14"},
    {"RNDB",         "\\22"},
    {"REV",          "\\15"},
    {"CHO",          "\\16"},
    {"M",            "\\17"},
    {"P",            "\\18"},
    {"E",            "\\19"},
    {"V",            "\\20"},
    {"D",            "\\21"},
    {"ACB",          "\\11"},
    {"ACP",          "\\10(10,?1,?2,?3,?4,?5,?6,?7)"},
    {"ACE",          "\\10(11,?1,?2,?3,?4,?5,?6,?7)"},
    {"ACV",          "\\10(7,?1,?2,?3,?4,?5,?6,?7)"},
    {"ACM",          "\\10(1,?1,?2,?3,?4,?5,?6,?7)"},
    {"ACD",          "\\10(6,?1,?2,?3,?4,?5,?6,?7)"},
    {"ACREV",        "\\10(91,?1,?2,?3,?4,?5,?6,?7)"},
    {"ACCHO",        "\\10(93,?1,?2,?3,?4,?5,?6,?7)"},
    {"ACCUT",        "CUT=?1 \\10(6,?1,?2,?3,?4,?5,?6,?7)"},
    {"ACRES",        "RES=?1 \\10(6,?1,?2,?3,?4,?5,?6,?7)"},
    {"BEND_RANGE",   "\\2=0,0,?"},
    {"BR",           "\\2=0,0,?"},
    {"PORT_ON",      "y65,127"},
    {"PORT_OFF",     "y65,0"},
    {"PORT",         "y5,?"},
    {"RESET_XG",     "\\0=$f0,$43,$10,$4c,0,0,$7e,0,$f7"},
    {"RESET_GS",     "\\0=$F0,$41,$10,$42,$12,$40,0,$7F,0,$41,$F7"},
    {"RESET_GM",     "\\0=$F0,$7E,$7F,$09,$01,$F7"},
    {"RESET_CTRL",   "y$79,0"},
    {"CUT",          "\\1=1,$20,?"},
    {"RES",          "\\1=1,$21,?"},
    {"VIB_RATE",     "\\1=1,8,?"},
    {"VIB_DEPTH",    "\\1=1,9,?"},
    {"VIB_DELAY",    "\\1=1,10,?"},
    {"ATT",          "\\1=1,$63,?"},
    {"DEC",          "\\1=1,$64,?"},
    {"REL",          "\\1=1,$66,?"},
    {"DR_CUT",       "\\1=$14,?1,?2"},
    {"DR_RES",       "\\1=$15,?1,?2"},
    {"DR_ATT",       "\\1=$16,?1,?2"},
    {"DR_DEC",       "\\1=$17,?1,?2"},
    {"DR_PITCH",     "\\1=$18,?1,?2"},
    {"DR_PITCHFINE", "\\1=$19,?1,?2"},
    {"DR_LEVEL",     "\\1=$1a,?1,?2"},
    {"DR_PAN",       "\\1=$1c,?1,?2"},
    {"DR_REV",       "\\1=$1d,?1,?2"},
    {"DR_CHO",       "\\1=$1e,?1,?2"},
    {"DR_VAR",       "\\1=$1f,?1,?2"},
};
// clang-format on

static_assert(std::size(kLibrary) == 83, "the library has 83 entries");

}  // namespace

std::span<const BuiltinMacro> builtinMacros() { return kLibrary; }

void TSmf::loadBuiltinMacros() {
  for (const BuiltinMacro& m : kLibrary) macros.AddMacro(m.name, m.body);
}

}  // namespace zan
