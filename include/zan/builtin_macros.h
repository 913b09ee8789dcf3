// SPDX-License-Identifier: MIT
// The built-in macro library: the readable names of the numbered commands
// and a few composite forms, loaded into the macro table at every reset.
#pragma once

#include <span>

namespace zan {

struct BuiltinMacro {
  const char* name;
  const char* body;
};

// The library in its fixed order, without the "*" row that ends the stored
// table (it is never loaded).
std::span<const BuiltinMacro> builtinMacros();

}  // namespace zan
