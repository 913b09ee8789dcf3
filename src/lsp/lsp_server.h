// SPDX-License-Identifier: MIT
// zan lsp: a language server for editors, on standard input and output.
//
// The framing is MessageReader's (lsp_transport.h); the loop, the dispatch
// table and the open documents are here and in lsp_server.cpp; the handler
// of each method is one member function (the language features in
// lsp_handlers.cpp). Documents are compiled in memory, never written: after
// a change the compile waits until the client has been quiet for a moment.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp_transport.h"
#include "zan/compile_report.h"
#include "zan/tmacro.h"

namespace zan::lsp {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

// Serves one client until it says exit or goes away; returns the exit
// status (0 after shutdown and exit, 1 otherwise).
int runServer(int inputFd = 0, int outputFd = 1);

// The token types and modifiers of semanticTokens, as initialize announces them.
json semanticTokensLegend();

// A JSON-RPC error a handler answers with.
struct RpcError {
  int code;
  std::string message;
};
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kServerNotInitialized = -32002;

// How long the client must be quiet after a change before the document is
// compiled again: typing does not start a compile per key.
inline constexpr std::chrono::milliseconds kCompileDelay{300};

struct Document {
  std::string uri;
  std::string path;                // the file behind a file: URI, else ""
  std::string text;                // UTF-8, as the client holds it
  std::vector<std::string> lines;  // text split at CR LF, LF and CR
  int64_t version = 0;
  bool compilePending = false;
  Clock::time_point compileAt;
  // From the last compile:
  CompileReport report;
  std::vector<Tmacro::Entry> macros;  // the score's own macros (not the library's as it stands)
};

class Server {
 public:
  explicit Server(int outputFd) : outputFd_(outputFd) {}

  // Handles one message body.
  void receive(const std::string& body);
  // A framing error: answered as a parse error.
  void protocolError(const std::string& what);
  // Compiles the documents whose quiet time is over; returns how long until
  // the next one is due (-1: none pending).
  int compileDue();
  bool exited() const { return exited_; }
  int exitStatus() const { return shutdown_ ? 0 : 1; }
  bool outputFailed() const { return outputFailed_; }

 private:
  using Request = json (Server::*)(const json& params);
  using Notification = void (Server::*)(const json& params);
  static const std::map<std::string, Request, std::less<>>& requests();
  static const std::map<std::string, Notification, std::less<>>& notifications();

  void send(const json& message);
  void respond(const json& id, json result);
  void respondError(const json& id, int code, const std::string& message);
  void notify(const std::string& method, json params);

  // Requests.
  json initialize(const json& params);
  json shutdown(const json& params);
  json hover(const json& params);
  json completion(const json& params);
  json documentSymbol(const json& params);
  json definition(const json& params);
  json semanticTokens(const json& params);
  // Notifications.
  void initialized(const json& params);
  void exit(const json& params);
  void didOpen(const json& params);
  void didChange(const json& params);
  void didClose(const json& params);
  void ignore(const json& params);

  Document& document(const json& params);  // of params.textDocument.uri; RpcError when not open
  void compile(Document& doc);
  void publishDiagnostics(const Document& doc);

  int outputFd_;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exited_ = false;
  bool outputFailed_ = false;
  std::map<std::string, Document, std::less<>> documents_;
};

}  // namespace zan::lsp
