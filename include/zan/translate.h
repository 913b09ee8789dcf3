// SPDX-License-Identifier: MIT
// The language the program speaks. The program's own texts are written in
// their original language (most of the compiler's in Japanese, the rest in
// English); a catalog built in from po/LANG.po gives another language's
// text for each original. The language is chosen once per process, from
// the environment as gettext chooses it, unless the caller sets it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zan {

// The originals: no catalog is used.
inline constexpr std::string_view kOriginalLanguage = "ja";

// The text of `original` (UTF-8, as the source writes it and the catalogs
// name it) in the chosen language: the catalog's, else the original itself.
// The pointer stays valid for the life of the program. A printf format
// stays one: the compiler checks the arguments against the original.
[[gnu::format_arg(1)]] const char* tr(const char* original);

// Marks a text that a table holds and a later tr() translates: the
// catalog's extraction finds it here, the program reads it unchanged
// (gettext's gettext_noop).
constexpr const char* N_(const char* original) { return original; }

// The text of `original` in `language` (one of languages()).
const char* trIn(std::string_view language, const char* original);

// The language chosen: kOriginalLanguage or the name of a catalog ("en").
// The first call without setLanguage() before it decides from the
// environment.
std::string_view language();

// Chooses the language for the rest of the run: a name as matchLanguage()
// reads it. False, with the choice unchanged, when the program does not
// speak it. Safe while other threads translate.
bool setLanguage(std::string_view name);

// The languages the program speaks: kOriginalLanguage and one per catalog.
std::vector<std::string_view> languages();

// The language a locale name or language name asks for ("en_US.UTF-8",
// "en", "ja_JP", "C"): kOriginalLanguage for C, POSIX and Japanese, a
// catalog's name when one is built in (the territory's own first, then the
// language's: "pt_BR" before "pt"), else "" (not spoken).
std::string_view matchLanguage(std::string_view name);

// The language the environment asks for, in gettext's order: the locale is
// the first set of LC_ALL, LC_MESSAGES and LANG; under no locale or C/POSIX
// the originals; else the first spoken language of the colon-separated
// LANGUAGE list, else the locale's own. A language the program does not
// speak reads as English, which more readers of another language read than
// Japanese. `getenv` stands for the environment (tests pass their own).
std::string_view languageFromEnvironment(const char* (*getenv)(const char*) = nullptr);

}  // namespace zan
