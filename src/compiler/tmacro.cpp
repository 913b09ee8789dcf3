// SPDX-License-Identifier: MIT
// The macro table. Lookups happen before every dispatched upper-case
// character, so an index beside the ordered list answers them.
#include "zan/tmacro.h"

namespace zan {

std::string_view unquote(std::string_view s) {
  if (!s.empty() && s.front() == '"') s.remove_prefix(1);
  if (!s.empty() && s.back() == '"') s.remove_suffix(1);
  return s;
}

void Tmacro::Clear() {
  entries_.clear();
  index_.clear();
}

void Tmacro::AddMacro(std::string_view name, std::string_view body) {
  name = unquote(name);
  body = unquote(body);
  if (auto it = index_.find(name); it != index_.end()) {
    entries_[it->second].body.assign(body);
    return;
  }
  entries_.push_back(Entry{std::string(name), std::string(body)});
  index_.emplace(std::string(name), entries_.size() - 1);
}

const std::string& Tmacro::FindMacro(std::string_view name) const {
  static const std::string kNone;
  auto it = index_.find(name);
  return it == index_.end() ? kNone : entries_[it->second].body;
}

}  // namespace zan
