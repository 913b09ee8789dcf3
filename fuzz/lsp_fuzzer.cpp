// SPDX-License-Identifier: MIT
// zan lsp's message reader and dispatch: arbitrary bytes, cut into pieces as
// a pipe might deliver them, framed and handed to the server after an
// initialize. Whatever arrives, the server answers or drops it and goes on:
// no crash, no sanitizer report, no unbounded growth. Documents are not
// compiled here (the compile has its own target), but every request works on
// the text of the documents opened.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lsp_server.h"
#include "lsp_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int sink = ::open("/dev/null", O_WRONLY);
  if (size == 0) return 0;
  // The first byte chooses the size of the pieces.
  const size_t piece = 1 + data[0] % 64 * (data[0] >= 128 ? 97 : 1);
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  zan::lsp::Server server(sink);
  server.receive(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})");
  zan::lsp::MessageReader reader;
  while (!input.empty() && !server.exited()) {
    reader.feed(input.substr(0, piece));
    input.remove_prefix(std::min(piece, input.size()));
    for (auto e = reader.next(); e.kind != zan::lsp::MessageReader::Event::Kind::None; e = reader.next()) {
      if (e.kind == zan::lsp::MessageReader::Event::Kind::Error)
        server.protocolError(e.text);
      else
        server.receive(e.text);
      if (server.exited()) break;
    }
  }
  return 0;
}
