// SPDX-License-Identifier: MIT
// Comments and macro definitions found in a score's text.
#include "zan/score_outline.h"

#include "zan/tmacro.h"

namespace zan {

std::vector<CommentSpan> findComments(std::string_view text, bool* unclosed) {
  std::vector<CommentSpan> found;
  if (unclosed) *unclosed = false;
  size_t open = text.find('{');
  while (open != std::string_view::npos) {
    const size_t close = text.find('}', open + 1);
    if (close == std::string_view::npos) {
      if (unclosed) *unclosed = true;
      break;
    }
    found.push_back(CommentSpan{open, close - open + 1});
    open = text.find('{', close + 1);
  }
  return found;
}

std::vector<MacroDefinition> findMacroDefinitions(const std::vector<std::string>& lines) {
  std::vector<MacroDefinition> found;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    for (size_t at = line.find("_m("); at != std::string::npos; at = line.find("_m(", at + 3)) {
      // The name runs to the first comma of the line, as the compiler reads it.
      const size_t nameStart = at + 3;
      const size_t comma = line.find(',', nameStart);
      if (comma == std::string::npos) break;
      std::string_view raw(line.data() + nameStart, comma - nameStart);
      const std::string_view name = unquote(raw);
      if (name.empty()) continue;
      size_t bodyStart = comma + 1;
      while (bodyStart < line.size() && line[bodyStart] == ' ') ++bodyStart;
      std::string body;
      if (bodyStart < line.size() && line[bodyStart] == '"') {
        const size_t close = line.find('"', bodyStart + 1);
        body = line.substr(bodyStart + 1, close == std::string::npos ? std::string::npos : close - bodyStart - 1);
      } else {
        const size_t close = line.find(')', bodyStart);
        body = line.substr(bodyStart, close == std::string::npos ? std::string::npos : close - bodyStart);
      }
      const size_t offset = nameStart + static_cast<size_t>(name.data() - raw.data());
      found.push_back(MacroDefinition{static_cast<int32_t>(i), static_cast<int32_t>(offset), std::string(name), std::move(body)});
    }
  }
  return found;
}

std::string macroForm(std::string_view name, std::string_view body) {
  return std::string(name) + (body.find('?') != std::string_view::npos ? "(\u2026)" : "");
}

}  // namespace zan
