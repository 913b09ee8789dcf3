// SPDX-License-Identifier: MIT
// The macro table: name -> body, names compared exactly (case-sensitive,
// byte for byte), entries kept in the order their names were first added.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zan {

class Tmacro {
 public:
  struct Entry {
    std::string name;
    std::string body;  // with ?1..?n / ? parameter marks; ' stands for "
  };

  void Clear();
  // Unquotes both texts (one leading and one trailing double quote go), then
  // replaces the body of the entry with that name, or appends a new entry.
  void AddMacro(std::string_view name, std::string_view body);
  // The body of the entry named `name`, or an empty string. An empty body and
  // a missing name look the same, so an empty macro never expands.
  const std::string& FindMacro(std::string_view name) const;

  const std::vector<Entry>& entries() const { return entries_; }
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<Entry> entries_;                                            // in first-added order
  std::unordered_map<std::string, size_t, Hash, std::equal_to<>> index_;  // name -> position in entries_
};

// Removes one leading double quote, then one trailing double quote.
std::string_view unquote(std::string_view s);

}  // namespace zan
