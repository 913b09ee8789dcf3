// SPDX-License-Identifier: MIT
// The framing of the language server protocol: messages of JSON text, each
// after a header block with its Content-Length. The reader takes bytes as
// they come and hands back whole messages; it holds at most one header block
// and one message body, so a client cannot make it grow without bound.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zan::lsp {

// A header block longer than this is not a header: the stream is lost.
inline constexpr size_t kMaxHeaderBytes = 8 << 10;
// The largest message body taken: a 10 MB score, escaped as JSON, fits
// several times over. A longer body is skipped as it arrives.
inline constexpr size_t kMaxContentBytes = 128u << 20;

class MessageReader {
 public:
  struct Event {
    enum class Kind { None, Message, Error };
    Kind kind = Kind::None;
    std::string text;  // the body of a message, or what was wrong
  };

  void feed(std::string_view bytes);
  // The next message or framing error; Kind::None when more bytes are needed.
  Event next();
  // True while part of a message has been received: a client that ends its
  // stream now vanished in the middle of one.
  bool midMessage() const { return pending() > 0 || skip_ > 0; }

 private:
  size_t pending() const { return buffer_.size() - start_; }
  void consume(size_t n);

  std::string buffer_;  // bytes received and not yet used, from start_
  size_t start_ = 0;
  size_t skip_ = 0;     // bytes of a refused body still to be dropped as they come
};

// Frames `body` as one message.
std::string frame(std::string_view body);

}  // namespace zan::lsp
