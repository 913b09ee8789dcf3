// SPDX-License-Identifier: MIT
// The compiler's own texts: the error table and the fixed details and
// message lines, written here in UTF-8 and handed to the compiler in CP932.
#pragma once

#include <string>

namespace zan {

enum class Text {
  // The error table, indexed by error number 0..6.
  Err0, Err1, Err2, Err3, Err4, Err5, Err6,
  // Fixed message lines.
  CutOff,              // after the tenth error
  BeatLabel,           // ends every error line
  // Fixed details.
  LoopsMissingHead,    // "] が" + n + ...
  LoopsMissingTail,    // ... + "つ足りません。"
  ParenMissing,
  NoteNumber,
  SlashNotFound,
  SlashContent,
  PercentGiven,        // letter + this
  QPercentBad,
  TooManyBrackets,
  ColonOutsideLoop,
  NoClosingBrace,
  AccentRelativeBad,
  PitchBendRange,
  LowercaseMacroLength,
  LowercaseMacroSelf,
  MacroUsesItself,       // '"' + name + '"' + this
  IncludeUnclosed,
  IncludeNotFoundHead,   // + '"' + name + '"' + tail
  IncludeNotFoundTail,
  VariableIndexBad,
  RndArguments,
  BackslashUndefined,
  TrnFirstBad,
  TrnlFirstBad,
  ActiveCcNumberBad,
  ActiveCcModeBad,
  IfLeftBad,
  IfOperatorMissing,
  IfRightBad,
  // Details in English words around command names.
  ActivePbModeBad,
  RpnArgumentsBad,
  RpnNumbersBad,
  SwitchChoiceBad,
  CdDelayBad,
  // Limits: what is limited, then "(" limit ")" and LimitTail.
  LimitDispatches,
  LimitEvents,
  LimitLineBytes,
  LimitExpansionChain,
  LimitMarkSubstitutions,
  LimitIncludeDepth,
  LimitIncludes,
  LimitTail,
  // The bound of a file's bytes, around the number itself.
  LimitSourceBytes,
  LimitSourceBytesTail,
  kCount
};

// The text in CP932.
const std::string& text(Text id);

}  // namespace zan
