// SPDX-License-Identifier: MIT
// Reading and writing framed messages.
#include "lsp_transport.h"

#include <algorithm>
#include <cstdlib>

#include "zan/translate.h"

namespace zan::lsp {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
         });
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The Content-Length of a header block (without its blank line), or -1
// when it has none or an unreadable one. Other fields are ignored.
long long contentLength(std::string_view header) {
  long long length = -1;
  while (!header.empty()) {
    const size_t end = header.find("\r\n");
    const std::string_view field = header.substr(0, end);
    header = end == std::string_view::npos ? std::string_view() : header.substr(end + 2);
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos || !equalsIgnoringCase(trim(field.substr(0, colon)), "Content-Length")) continue;
    const std::string_view value = trim(field.substr(colon + 1));
    if (value.empty() || value.size() > 18 || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return -1;
    length = std::atoll(std::string(value).c_str());
  }
  return length;
}

// Where to go on after a broken header `header`: at a "Content-Length"
// inside it after its start, else after `otherwise` bytes.
size_t resync(std::string_view header, size_t otherwise) {
  const size_t next = header.find("Content-Length", 1);
  return next != std::string_view::npos ? next : otherwise;
}

// Bytes kept at the end of an overlong header: "Content-Length" may be cut there.
constexpr size_t kResyncKeep = 16;

}  // namespace

void MessageReader::feed(std::string_view bytes) {
  if (skip_ > 0) {
    const size_t dropped = std::min(skip_, bytes.size());
    skip_ -= dropped;
    bytes.remove_prefix(dropped);
  }
  buffer_.append(bytes);
}

void MessageReader::consume(size_t n) {
  start_ += n;
  // Moved down only now and then, so that many small messages cost little.
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > (1u << 16) && start_ > buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
}

MessageReader::Event MessageReader::next() {
  const std::string_view data = std::string_view(buffer_).substr(start_);
  const size_t blank = data.find("\r\n\r\n");
  if (blank == std::string_view::npos || blank > kMaxHeaderBytes) {
    if (data.size() <= kMaxHeaderBytes + 3) return {};
    // No header ends within the bound: go on at the next header that may
    // begin, keeping a tail that may hold the start of one.
    consume(resync(data.substr(0, kMaxHeaderBytes), kMaxHeaderBytes - kResyncKeep));
    return {Event::Kind::Error, zan::tr("header block longer than ") + std::to_string(kMaxHeaderBytes) + zan::tr(" bytes")};
  }
  const long long length = contentLength(data.substr(0, blank));
  const size_t headerBytes = blank + 4;
  if (length < 0) {
    consume(resync(data.substr(0, blank), headerBytes));
    return {Event::Kind::Error, zan::tr("header block without a valid Content-Length")};
  }
  if (static_cast<unsigned long long>(length) > kMaxContentBytes) {
    consume(headerBytes);
    const size_t here = std::min(pending(), static_cast<size_t>(length));
    consume(here);
    skip_ = static_cast<size_t>(length) - here;
    return {Event::Kind::Error, zan::tr("message of ") + std::to_string(length) + zan::tr(" bytes refused (at most ") +
                                    std::to_string(kMaxContentBytes) + ")"};
  }
  if (data.size() - headerBytes < static_cast<size_t>(length)) return {};
  Event message{Event::Kind::Message, std::string(data.substr(headerBytes, static_cast<size_t>(length)))};
  consume(headerBytes + static_cast<size_t>(length));
  return message;
}

std::string frame(std::string_view body) {
  std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out.append(body);
  return out;
}

}  // namespace zan::lsp
