// SPDX-License-Identifier: MIT
// The index of the embedded reference: its ### topics with their keywords,
// the look-up by keyword, and the table of error numbers in English.
#include "zan/reference.h"

#include <algorithm>
#include <cstdlib>

namespace zan {
namespace {

constexpr std::string_view kDash = " \u2014 ";  // between a heading's keywords and its description

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// ATX headings: up to three spaces, one to six "#", then a space or the end.
int headingLevel(std::string_view line, std::string* text) {
  size_t i = 0;
  while (i < line.size() && i < 3 && line[i] == ' ') ++i;
  size_t level = 0;
  while (i + level < line.size() && line[i + level] == '#') ++level;
  if (level == 0 || level > 6) return 0;
  const size_t rest = i + level;
  if (rest < line.size() && line[rest] != ' ' && line[rest] != '\t' && line[rest] != '\r') return 0;
  std::string_view t = trim(line.substr(rest));
  // An optional closing run of "#" after a space.
  size_t end = t.size();
  while (end > 0 && t[end - 1] == '#') --end;
  if (end < t.size() && (end == 0 || t[end - 1] == ' ')) t = trim(t.substr(0, end));
  *text = std::string(t);
  return static_cast<int>(level);
}

bool isFence(std::string_view line) {
  const std::string_view t = trim(line);
  return t.starts_with("```") || t.starts_with("~~~");
}

std::vector<std::string> codeSpans(std::string_view text) {
  std::vector<std::string> spans;
  size_t open = text.find('`');
  while (open != std::string_view::npos) {
    const size_t close = text.find('`', open + 1);
    if (close == std::string_view::npos) break;
    if (close > open + 1) spans.emplace_back(text.substr(open + 1, close - open - 1));
    open = text.find('`', close + 1);
  }
  return spans;
}

std::string shown(std::string_view heading) {
  std::string s(heading);
  s.erase(std::remove(s.begin(), s.end(), '`'), s.end());
  return s;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool isNameChar(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' || c == '`'; }

char foldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return foldCase(x) == foldCase(y);
         });
}

}  // namespace

std::vector<ReferenceTopic> indexReferencePage(std::string_view page, std::string_view markdown) {
  std::vector<ReferenceTopic> topics;
  std::string pageTitle;
  const std::vector<std::string_view> lines = splitLines(markdown);
  bool inCode = false;
  ReferenceTopic* open = nullptr;  // the topic whose text is being gathered
  // Its usage form: the first line of a plain ``` block that comes right
  // after the heading, with nothing but blank lines between.
  enum { kWaiting, kInBlock, kDone } form = kDone;
  for (std::string_view line : lines) {
    const bool fence = isFence(line);
    std::string heading;
    const int level = !inCode && !fence ? headingLevel(line, &heading) : 0;
    if (level > 0 && level <= 3) open = nullptr;
    if (level == 1 && pageTitle.empty()) pageTitle = shown(heading);
    if (level == 3) {
      ReferenceTopic topic;
      topic.page = std::string(page);
      topic.pageTitle = pageTitle;
      topic.title = shown(heading);
      const size_t dash = heading.find(kDash);
      std::string_view words = heading;
      if (dash != std::string::npos) words = words.substr(0, dash);
      topic.keywords = codeSpans(words);
      topic.keywords.push_back(topic.title);
      const size_t shownDash = topic.title.find(kDash);
      topic.summary = shownDash == std::string::npos ? topic.title : topic.title.substr(shownDash + kDash.size());
      topics.push_back(std::move(topic));
      open = &topics.back();
      form = kWaiting;
    } else if (open && form == kWaiting) {
      if (fence && trim(line) == "```")
        form = kInBlock;
      else if (!trim(line).empty())
        form = kDone;
    } else if (open && form == kInBlock) {
      if (!fence) open->form = std::string(trim(line));
      form = kDone;
    }
    if (open) {
      open->markdown.append(line);
      open->markdown += '\n';
    }
    if (fence) inCode = !inCode;
  }
  return topics;
}

const std::vector<ReferenceTopic>& referenceTopics() {
  static const std::vector<ReferenceTopic> topics = [] {
    std::vector<ReferenceTopic> all;
    for (const ReferencePage& page : referencePages()) {
      std::vector<ReferenceTopic> some = indexReferencePage(page.name, page.markdown);
      all.insert(all.end(), std::make_move_iterator(some.begin()), std::make_move_iterator(some.end()));
    }
    return all;
  }();
  return topics;
}

std::vector<size_t> matchTopics(const std::vector<ReferenceTopic>& topics, std::string_view keyword) {
  std::vector<size_t> found;
  if (keyword.empty()) return found;
  const auto round = [&](auto matches) {
    for (size_t i = 0; i < topics.size(); ++i)
      if (std::any_of(topics[i].keywords.begin(), topics[i].keywords.end(), matches)) found.push_back(i);
    return !found.empty();
  };
  if (round([&](const std::string& k) { return k == keyword; })) return found;
  if (round([&](const std::string& k) { return k.starts_with(keyword); })) return found;
  if (round([&](const std::string& k) { return sameIgnoringCase(k, keyword); })) return found;
  if (round([&](const std::string& k) {
        return k.size() >= keyword.size() && sameIgnoringCase(std::string_view(k).substr(0, keyword.size()), keyword);
      }))
    return found;
  // The command a macro body starts with: the longest code keyword in front
  // of its arguments. A name character after it means a longer name (LEAD
  // is no use of L). The last keyword of a topic is its title, not a code word.
  const auto leads = [&](const std::string& k) {
    return keyword.size() > k.size() && keyword.starts_with(k) && !isNameChar(keyword[k.size()]);
  };
  size_t longest = 0;
  for (const ReferenceTopic& t : topics)
    for (size_t j = 0; j + 1 < t.keywords.size(); ++j)
      if (leads(t.keywords[j])) longest = std::max(longest, t.keywords[j].size());
  if (longest > 0) round([&](const std::string& k) { return k.size() == longest && leads(k); });
  return found;
}

std::string_view errorExplanation(int number) {
  // The rows "| number | `message` | in English |" of errors.md.
  static const std::vector<std::string> table = [] {
    std::vector<std::string> rows;
    for (const ReferencePage& page : referencePages()) {
      if (page.name != "errors.md") continue;
      for (std::string_view line : splitLines(page.markdown)) {
        line = trim(line);
        if (!line.starts_with('|') || !line.ends_with('|')) continue;
        std::vector<std::string_view> cells;
        for (size_t at = 1; at < line.size();) {
          const size_t next = line.find('|', at);
          cells.push_back(trim(line.substr(at, next - at)));
          at = next + 1;
        }
        if (cells.size() != 3 || cells[0].empty() ||
            !std::all_of(cells[0].begin(), cells[0].end(), [](char c) { return c >= '0' && c <= '9'; }))
          continue;
        const size_t n = static_cast<size_t>(std::atoi(std::string(cells[0]).c_str()));
        if (n > 64) continue;
        if (rows.size() <= n) rows.resize(n + 1);
        if (rows[n].empty()) rows[n] = std::string(cells[2]);
      }
    }
    return rows;
  }();
  return number >= 0 && static_cast<size_t>(number) < table.size() ? std::string_view(table[static_cast<size_t>(number)])
                                                                     : std::string_view();
}

namespace {

// Whitespace runs as one space, the ends trimmed.
std::string simplified(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (space && (out.empty() || out.back() == ' ')) continue;
    out += space ? ' ' : c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// "[text](target)" as "text".
std::string withoutLinks(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      const size_t close = text.find(']', i + 1);
      if (close != std::string::npos && close + 1 < text.size() && text[close + 1] == '(') {
        const size_t end = text.find(')', close + 2);
        if (end != std::string::npos) {
          out.append(text, i + 1, close - i - 1);
          i = end;
          continue;
        }
      }
    }
    out += text[i];
  }
  return out;
}

// The first sentence of `para`: up to a . ! or ? (and a closing quote after
// it) that ends the text or stands before a space; "" when there is none.
std::string firstSentence(const std::string& para) {
  constexpr std::string_view kCloseQuote = "\u201D";
  for (size_t i = 0; i < para.size(); ++i) {
    if (para[i] != '.' && para[i] != '!' && para[i] != '?') continue;
    size_t after = i + 1;
    if (para.compare(after, 1, "\"") == 0)
      ++after;
    else if (para.compare(after, kCloseQuote.size(), kCloseQuote) == 0)
      after += kCloseQuote.size();
    if (after < para.size() && para[after] != ' ') continue;
    return para.substr(0, i + 1 + (para.compare(i + 1, 1, "\"") == 0 ? 1 : 0));
  }
  return "";
}

}  // namespace

std::string errorDescription(int number) {
  std::string sentence;
  const std::string_view shortText = errorExplanation(number);
  if (!shortText.empty()) {
    sentence = std::string(shortText) + ".";
    if (sentence[0] >= 'a' && sentence[0] <= 'z') sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
  }
  // The section "### ... — error N", its first paragraph.
  const std::string heading = std::string(kDash) + "error " + std::to_string(number);
  for (const ReferencePage& page : referencePages()) {
    if (page.name != "errors.md") continue;
    const std::vector<std::string_view> lines = splitLines(page.markdown);
    for (size_t i = 0; i + 2 < lines.size(); ++i) {
      if (!lines[i].starts_with("### ") || !lines[i].ends_with(heading) || !lines[i + 1].empty()) continue;
      std::string para;
      for (size_t j = i + 2; j < lines.size() && !lines[j].empty(); ++j) (para += lines[j]) += '\n';
      const std::string first = firstSentence(withoutLinks(simplified(para)));
      if (!first.empty()) sentence = first;
      break;
    }
  }
  return sentence;
}

}  // namespace zan
