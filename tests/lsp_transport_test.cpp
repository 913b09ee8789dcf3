// SPDX-License-Identifier: MIT
// The language server's framing: whole messages out of bytes as they come.
#include <gtest/gtest.h>

#include "lsp_transport.h"

namespace zan::lsp {
namespace {

// Feeds `input` in pieces of `piece` bytes; each event as "M:body" or "E"
// (errors in a row as one).
std::vector<std::string> read(const std::string& input, size_t piece) {
  MessageReader reader;
  std::vector<std::string> events;
  for (size_t at = 0; at < input.size(); at += piece) {
    reader.feed(std::string_view(input).substr(at, piece));
    for (auto e = reader.next(); e.kind != MessageReader::Event::Kind::None; e = reader.next())
      if (e.kind == MessageReader::Event::Kind::Message)
        events.push_back("M:" + e.text);
      else if (events.empty() || events.back() != "E")  // one broken stretch may give several
        events.push_back("E");
  }
  return events;
}

TEST(MessageReader, FramesWhatArrivesInAnyPieces) {
  struct Row {
    std::string input;
    std::vector<std::string> events;
  };
  const std::string big(kMaxContentBytes + 1, 'x');
  const Row rows[] = {
      {frame("{}") + frame("[1]"), {"M:{}", "M:[1]"}},
      {"content-length: 2\r\nContent-Type: x\r\n\r\n{}", {"M:{}"}},
      {"Content-Length: 0\r\n\r\n", {"M:"}},
      {"Content-Type: x\r\n\r\n" + frame("{}"), {"E", "M:{}"}},      // no length: the header goes
      {"Content-Length: -4\r\n\r\n" + frame("{}"), {"E", "M:{}"}},
      {"Content-Length: 99999999999999999999\r\n\r\n" + frame("{}"), {"E", "M:{}"}},
      {"Content-Length: " + std::to_string(big.size()) + "\r\n\r\n" + big + frame("{}"), {"E", "M:{}"}},  // skipped
      {std::string(kMaxHeaderBytes + 8, 'h') + frame("{}"), {"E", "M:{}"}},
      {"Content-Length: 5\r\n\r\n{}", {}},  // waits for the rest
  };
  for (const Row& r : rows)
    for (size_t piece : {size_t{1}, size_t{7}, size_t{1} << 20})
      if (r.input.size() < 1000 || piece > 1000) {
        EXPECT_EQ(read(r.input, piece), r.events) << r.input.substr(0, 60) << " in pieces of " << piece;
      }
}

TEST(MessageReader, KnowsWhenAMessageIsCutOff) {
  MessageReader reader;
  EXPECT_FALSE(reader.midMessage());
  reader.feed("Content-Length: 10\r\n\r\n{");
  EXPECT_EQ(reader.next().kind, MessageReader::Event::Kind::None);
  EXPECT_TRUE(reader.midMessage());
}

}  // namespace
}  // namespace zan::lsp
