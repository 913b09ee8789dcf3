// SPDX-License-Identifier: MIT
// The source list and the origin of each of its lines.
#include "zan/tsmf.h"

namespace zan {

void SourceLines::assign(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  origins_.resize(lines_.size());
  for (size_t i = 0; i < lines_.size(); ++i) origins_[i] = LineOrigin{0, static_cast<int32_t>(i)};
  includeFiles_.clear();
  includeDepths_.clear();
  includeParents_.clear();
  includePaths_.clear();
}

void SourceLines::setText(const std::string& text) {
  std::vector<std::string> lines;
  size_t breaks = 0;
  for (char c : text) breaks += c == '\n' || c == '\r';
  lines.reserve(breaks + 1);
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text, start, i - start);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text, start);
  assign(std::move(lines));
}

void SourceLines::clear() {
  lines_.clear();
  origins_.clear();
  includeFiles_.clear();
  includeDepths_.clear();
  includeParents_.clear();
  includePaths_.clear();
}

void SourceLines::insert(int i, std::string text, LineOrigin origin) {
  lines_.insert(lines_.begin() + i, std::move(text));
  origins_.insert(origins_.begin() + i, origin);
}

void SourceLines::append(std::string text, LineOrigin origin) {
  lines_.push_back(std::move(text));
  origins_.push_back(origin);
}

void SourceLines::insertFile(int i, std::vector<std::string> lines, int32_t file) {
  std::vector<LineOrigin> origins(lines.size());
  for (size_t k = 0; k < lines.size(); ++k) origins[k] = LineOrigin{file, static_cast<int32_t>(k)};
  lines_.insert(lines_.begin() + i, std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
  origins_.insert(origins_.begin() + i, origins.begin(), origins.end());
}

int32_t SourceLines::addIncludeFile(std::string name, int32_t depth, LineOrigin from, std::string path) {
  includeFiles_.push_back(std::move(name));
  includePaths_.push_back(std::move(path));
  includeDepths_.push_back(depth);
  includeParents_.push_back(from);
  return static_cast<int32_t>(includeFiles_.size());
}

int32_t SourceLines::scoreLine(LineOrigin o) const {
  // Each step goes to an earlier-registered file, so this ends.
  while (o.file > 0) o = includedFrom(o.file);
  return o.file == 0 ? o.line : -1;
}

}  // namespace zan
