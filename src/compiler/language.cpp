// SPDX-License-Identifier: MIT
// The dispatch by first byte and the underscore keywords, as tables.
#include "zan/language.h"

#include <array>

namespace zan {
namespace {

struct DispatchRow {
  const char* bytes;  // the command bytes this row serves
  CommandKind kind;
};

// The first byte of a command decides its handler. Every byte not listed
// here, digits, upper-case letters that no macro claimed, `}` outside a
// comment, control characters and all bytes from 128 up, is undecipherable.
// clang-format off
constexpr DispatchRow kDispatch[] = {
    {"\t \"|",     CommandKind::Ignored},           // ignored between commands
    {"!",          CommandKind::Accent},            // one-shot velocity
    {"#",          CommandKind::Directive},         // #timebase, #include, ...
    {"/",          CommandKind::Group},             // /notes/length
    {":[]",        CommandKind::Loop},              // loops
    {";{",         CommandKind::Comment},           // comments
    {"<>",         CommandKind::OctaveShift},       // octave down, up
    {"@",          CommandKind::ProgramChange},     // program change, bank
    {"\\",         CommandKind::Numbered},          // numbered commands
    {"_",          CommandKind::Underscore},        // _print, _tr, _m, ...
    {"abcdefgn",   CommandKind::Note},              // notes
    {"loq",        CommandKind::LengthOctaveGate},  // length, octave, gate
    {"p",          CommandKind::PitchBend},         // pitch bend
    {"r",          CommandKind::Rest},              // rest
    {"t",          CommandKind::Tempo},             // tempo
    {"v",          CommandKind::Velocity},          // velocity
    {"y",          CommandKind::ControlChange},     // control change
    {"~",          CommandKind::Variable},          // variables
};

constexpr UnderscoreKeyword kFirstGroup[] = {
    {"print",     UnderscoreWord::Print},
    {"smon",      UnderscoreWord::SmallMacrosOn},
    {"smoff",     UnderscoreWord::SmallMacrosOff},
    {"skipon",    UnderscoreWord::SkipOn},
    {"skipoff",   UnderscoreWord::SkipOff},
    {"INST_NAME", UnderscoreWord::InstrumentName},
};
constexpr UnderscoreKeyword kSecondGroup[] = {
    {"COPYRIGHT", UnderscoreWord::Copyright},
    {"TITLE",     UnderscoreWord::Title},
    {"ac",        UnderscoreWord::ActiveStep},
    {"tr",        UnderscoreWord::Track},
    {"m",         UnderscoreWord::Macro},
};
// clang-format on

constexpr std::array<CommandKind, 256> buildTable() {
  std::array<CommandKind, 256> t{};
  t.fill(CommandKind::Unknown);
  for (const DispatchRow& row : kDispatch)
    for (const char* b = row.bytes; *b; ++b) t[static_cast<unsigned char>(*b)] = row.kind;
  return t;
}
constexpr std::array<CommandKind, 256> kTable = buildTable();

}  // namespace

CommandKind commandKind(unsigned char byte) { return kTable[byte]; }

std::span<const UnderscoreKeyword> underscoreFirstGroup() { return kFirstGroup; }
std::span<const UnderscoreKeyword> underscoreSecondGroup() { return kSecondGroup; }

}  // namespace zan
