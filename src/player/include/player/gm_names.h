// SPDX-License-Identifier: MIT
// The General MIDI names of the 128 programs.
#pragma once

namespace zan::player {

// The name of program 0..127 ("Acoustic Grand Piano"); "" outside.
const char* generalMidiName(int program);

}  // namespace zan::player
