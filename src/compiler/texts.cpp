// SPDX-License-Identifier: MIT
// The compiler's fixed texts, one row each, converted to CP932 once for
// each language the program speaks.
#include "texts.h"

#include <array>
#include <vector>

#include "zan/cp932.h"
#include "zan/translate.h"

namespace zan {
namespace {

struct Row {
  Text id;
  const char* utf8;
};

// clang-format off
constexpr Row kTexts[] = {
    {Text::Err0,              "原因不明のエラー"},
    {Text::Err1,              "指定されたファイルを開けません"},
    {Text::Err2,              "解読不能文字です"},
    {Text::Err3,              "必要な引数が足りません"},
    {Text::Err4,              "引数が不正です"},
    {Text::Err5,              "文法のエラー"},
    {Text::Err6,              ""},
    {Text::CutOff,            "エラー数が１０個を超えたので、コンパイルを中止します。"},
    {Text::BeatLabel,         "小節目"},
    {Text::LoopsMissingHead,  "] が"},
    {Text::LoopsMissingTail,  "つ足りません。"},
    {Text::ParenMissing,      ")が見つかりません"},
    {Text::NoteNumber,        "ノートナンバー指定"},
    {Text::SlashNotFound,     "/が同行上にみつかりません。"},
    {Text::SlashContent,      "/の中には音符か<>しか置けません。"},
    {Text::PercentGiven,      "に%指定をした"},
    {Text::QPercentBad,       "Qの%指定が不正"},
    {Text::TooManyBrackets,   "]が多い"},
    {Text::ColonOutsideLoop,  "ループ外に:がある"},
    {Text::NoClosingBrace,    "}がない"},
    {Text::AccentRelativeBad, "!の相対指定値が不正"},
    {Text::PitchBendRange,    "p:-8192~8191"},
    {Text::LowercaseMacroLength, "_m...小文字は１文字マクロです"},
    {Text::LowercaseMacroSelf,   "マクロの中でマクロは定義できません。"},
    {Text::MacroUsesItself,      "マクロの中でマクロ自身を使う事はできません。"},
    {Text::IncludeUnclosed,      "include が \" で終わっていない"},
    {Text::IncludeNotFoundHead,  "指定されたファイル"},
    {Text::IncludeNotFoundTail,  "が開けません"},
    {Text::VariableIndexBad,     "~変数番号の不正"},
    {Text::RndArguments,         "rnd()の引数は１つです"},
    {Text::BackslashUndefined,   "\\の番号が未定義です。"},
    {Text::TrnFirstBad,          "TRNの1つめの引数が不正"},
    {Text::TrnlFirstBad,         "TRNLの1つめの引数が不正"},
    {Text::ActiveCcNumberBad,    "ACTIVE_CC CC#の値が不正"},
    {Text::ActiveCcModeBad,      "ACTIVE_CC Modeの番号が不正"},
    {Text::IfLeftBad,            "IF条件式左辺"},
    {Text::IfOperatorMissing,    "IF条件式の演算子がない"},
    {Text::IfRightBad,           "IF条件式右辺"},
    {Text::ActivePbModeBad,      N_("Active B Mode No")},
    {Text::RpnArgumentsBad,      N_("RPN or NRPN")},
    {Text::RpnNumbersBad,        N_("NRPN or RPN")},
    {Text::SwitchChoiceBad,      N_("SWITCH or SEL")},
    {Text::CdDelayBad,           N_("CD_DELAY or DLY")},
    {Text::LimitDispatches,        "処理するコマンド数の上限"},
    {Text::LimitEvents,            "イベント数の上限"},
    {Text::LimitLineBytes,         "展開された行の長さ(バイト)の上限"},
    {Text::LimitExpansionChain,    "マクロが続けて展開される回数の上限"},
    {Text::LimitMarkSubstitutions, "マクロの引数を置き換える回数の上限"},
    {Text::LimitIncludeDepth,      "#include の入れ子の上限"},
    {Text::LimitIncludes,          "#include するファイル数の上限"},
    {Text::LimitTail,              "を超えたので、コンパイルを中止します"},
    {Text::LimitSourceBytes,       N_("#include file larger than the bound of ")},
    {Text::LimitSourceBytesTail,   N_(" bytes, compile stopped")},
};
// clang-format on

static_assert(std::size(kTexts) == static_cast<size_t>(Text::kCount), "one row per text");

}  // namespace

const std::string& text(Text id) {
  using Table = std::array<std::string, static_cast<size_t>(Text::kCount)>;
  // Every language's at once: a compile on another thread may read one
  // while the language changes.
  static const auto tables = [] {
    std::vector<std::pair<std::string_view, Table>> all;
    for (std::string_view name : languages()) {
      Table t;
      for (const Row& r : kTexts) t[static_cast<size_t>(r.id)] = toCp932(trIn(name, r.utf8));
      all.emplace_back(name, std::move(t));
    }
    return all;
  }();
  const std::string_view now = language();
  for (const auto& [name, table] : tables)
    if (name == now) return table[static_cast<size_t>(id)];
  return tables.front().second[static_cast<size_t>(id)];
}

}  // namespace zan
