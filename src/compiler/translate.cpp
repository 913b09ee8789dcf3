// SPDX-License-Identifier: MIT
// The chosen language and the lookup of a text in its catalog.
#include "zan/translate.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "catalogs.h"

namespace zan {
namespace {

constexpr int kOriginals = -1;  // the chosen language: no catalog
constexpr int kUndecided = -2;  // not chosen yet: the environment decides at first use

// kOriginals, kUndecided or an index into catalogs::kCatalogs.
std::atomic<int> chosen{kUndecided};

int catalogIndex(std::string_view name) {
  for (size_t i = 0; i < catalogs::kCatalogCount; ++i)
    if (name == catalogs::kCatalogs[i].language) return static_cast<int>(i);
  return kOriginals;
}

std::string_view nameOf(int index) {
  return index >= 0 ? std::string_view(catalogs::kCatalogs[index].language) : kOriginalLanguage;
}

// "C", "POSIX" and "" after the codeset and modifier are taken off.
bool isPlainLocale(std::string_view name) { return name.empty() || name == "C" || name == "POSIX"; }

std::string_view withoutCodeset(std::string_view name) {
  return name.substr(0, std::min(name.find('.'), name.find('@')));
}

int current() {
  int index = chosen.load(std::memory_order_acquire);
  if (index != kUndecided) return index;
  const std::string_view decided = languageFromEnvironment();
  index = decided == kOriginalLanguage ? kOriginals : catalogIndex(decided);
  // Another thread may have decided (or been told) first: its choice stands.
  int expected = kUndecided;
  return chosen.compare_exchange_strong(expected, index, std::memory_order_acq_rel) ? index : expected;
}

const char* systemGetenv(const char* name) { return std::getenv(name); }

const char* translate(int index, const char* original) {
  if (index < 0 || original == nullptr || *original == '\0') return original;
  const catalogs::Catalog& c = catalogs::kCatalogs[index];
  const catalogs::Message* end = c.messages + c.count;
  const catalogs::Message* found = std::lower_bound(
      c.messages, end, original, [](const catalogs::Message& m, const char* s) { return std::strcmp(m.original, s) < 0; });
  return found != end && std::strcmp(found->original, original) == 0 ? found->translation : original;
}

}  // namespace

const char* tr(const char* original) { return translate(current(), original); }

const char* trIn(std::string_view language, const char* original) {
  return translate(language == kOriginalLanguage ? kOriginals : catalogIndex(language), original);
}

std::string_view language() { return nameOf(current()); }

bool setLanguage(std::string_view name) {
  const std::string_view matched = matchLanguage(name);
  if (matched.empty()) return false;
  chosen.store(matched == kOriginalLanguage ? kOriginals : catalogIndex(matched), std::memory_order_release);
  return true;
}

std::vector<std::string_view> languages() {
  std::vector<std::string_view> all{kOriginalLanguage};
  for (size_t i = 0; i < catalogs::kCatalogCount; ++i) all.emplace_back(catalogs::kCatalogs[i].language);
  return all;
}

std::string_view matchLanguage(std::string_view name) {
  const std::string_view full = withoutCodeset(name);
  if (isPlainLocale(full)) return kOriginalLanguage;
  const std::string_view bare = full.substr(0, full.find('_'));
  if (bare == kOriginalLanguage) return kOriginalLanguage;
  if (const int index = catalogIndex(full); index >= 0) return nameOf(index);
  if (const int index = catalogIndex(bare); index >= 0) return nameOf(index);
  return {};
}

std::string_view languageFromEnvironment(const char* (*getenv)(const char*)) {
  if (getenv == nullptr) getenv = systemGetenv;
  auto variable = [&](const char* name) {
    const char* value = getenv(name);
    return std::string_view(value != nullptr ? value : "");
  };
  std::string_view locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (locale = variable(name); !locale.empty()) break;
  // gettext too ignores LANGUAGE under the C locale.
  if (isPlainLocale(withoutCodeset(locale))) return kOriginalLanguage;
  std::string_view list = variable("LANGUAGE");
  while (!list.empty()) {
    const size_t colon = list.find(':');
    const std::string_view item = list.substr(0, colon);
    list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    if (item.empty()) continue;
    if (const std::string_view matched = matchLanguage(item); !matched.empty()) return matched;
  }
  if (const std::string_view matched = matchLanguage(locale); !matched.empty()) return matched;
  return catalogIndex("en") >= 0 ? std::string_view("en") : kOriginalLanguage;
}

}  // namespace zan
