// SPDX-License-Identifier: MIT
// zan lsp: a language server for editors, on standard input and output.
//
// The framing is MessageReader's (lsp_transport.h); the loop, the dispatch
// table and the open documents are here and in lsp_server.cpp; the handler
// of each method is one member function (the language features in
// lsp_handlers.cpp and lsp_navigation.cpp; a document's text and its
// lexer states in lsp_document.h). Documents are compiled in memory, never written, on a
// thread of their own (lsp_worker.h): after a change the compile waits until
// the client has been quiet for a moment, and requests meanwhile are
// answered from the last compile that finished.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp_document.h"
#include "lsp_transport.h"
#include "lsp_worker.h"
#include "zan/compile_report.h"
#include "zan/tmacro.h"

namespace zan::lsp {

using nlohmann::json;

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

class Server {
 public:
  explicit Server(int outputFd);
  ~Server();

  // Handles one message body.
  void receive(const std::string& body);
  // A framing error: answered as a parse error.
  void protocolError(const std::string& what);
  // Hands the documents whose quiet time is over to the compile thread;
  // returns how long until the next one is due (-1: none pending).
  int compileDue();
  // Readable when compiles have finished (-1 before the first compile).
  int resultsFd() const;
  // Takes the finished compiles and publishes their diagnostics.
  void takeResults();
  bool exited() const { return exited_; }
  int exitStatus() const { return shutdown_ ? 0 : 1; }
  bool outputFailed() const { return outputFailed_; }
  // The open document of the file at normalPath() `path`, or nullptr.
  const Document* openDocument(std::string_view path) const;

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
  json semanticTokensDelta(const json& params);
  json semanticTokensRange(const json& params);
  json references(const json& params);
  json rename(const json& params);
  json documentHighlight(const json& params);
  json foldingRange(const json& params);
  json signatureHelp(const json& params);
  json workspaceSymbol(const json& params);
  // Notifications.
  void initialized(const json& params);
  void exit(const json& params);
  void didOpen(const json& params);
  void didChange(const json& params);
  void didClose(const json& params);
  void didSave(const json& params);
  void didChangeWatchedFiles(const json& params);
  void ignore(const json& params);

  Document& document(const json& params);  // of params.textDocument.uri; RpcError when not open
  // Asks for a compile of `doc` at `when`; a compile of it under way is
  // cancelled, its result would be stale.
  void scheduleCompile(Document& doc, Clock::time_point when);
  // Every open document that includes the file at `path` is compiled again.
  void recheckIncluders(const std::string& path, Clock::time_point when);
  void publishDiagnostics(const Document& doc);
  // A file's lines (UTF-8) and its URI.
  struct FileLines {
    std::string uri;
    std::vector<std::string> lines;
  };
  // The files a name of `doc` may stand in: `doc`, the files it includes,
  // and the open documents that include it with the files they include.
  // Open ones as the client holds them; others as the last compile read them.
  std::vector<FileLines> family(const Document& doc) const;

  int outputFd_;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exited_ = false;
  bool outputFailed_ = false;
  std::map<std::string, Document, std::less<>> documents_;
  std::unique_ptr<CompileWorker> worker_;  // started by the first compile
  uint64_t tokensResults_ = 0;             // semantic tokens results sent, for their ids
};

}  // namespace zan::lsp
