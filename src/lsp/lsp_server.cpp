// SPDX-License-Identifier: MIT
// The server's loop, its dispatch by method, the open documents and their
// diagnostics.
#include "lsp_server.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>
#include <memory>

#include "lsp_text.h"
#include "zan/builtin_macros.h"
#include "zan/cp932.h"
#include "zan/line_columns.h"
#include "zan/reference.h"
#include "zan/translate.h"
#include "zan/tsmf.h"

#ifndef ZAN_VERSION
#define ZAN_VERSION "dev"
#endif

namespace zan::lsp {
namespace {

// Diagnostics sent for one document: the compiler stops after ten errors,
// but a score may print without end.
constexpr size_t kMaxPublished = 1000;

json range(int64_t line, int64_t start, int64_t end) {
  return {{"start", {{"line", line}, {"character", start}}}, {"end", {{"line", line}, {"character", end}}}};
}

// The UTF-16 range of 1-based CP932 byte columns [column, endColumn) of a line.
json utf16Range(int64_t line, const LineColumns& columns, int32_t column, int32_t endColumn) {
  return range(line, columns.convert(column - 1, LineColumns::Cp932, LineColumns::Utf16),
               columns.convert(endColumn - 1, LineColumns::Cp932, LineColumns::Utf16, true));
}

}  // namespace

Server::Server(int outputFd) : outputFd_(outputFd) {}

Server::~Server() = default;

// ---- Dispatch ---------------------------------------------------------------

const std::map<std::string, Server::Request, std::less<>>& Server::requests() {
  static const std::map<std::string, Request, std::less<>> table = {
      {"initialize", &Server::initialize},
      {"shutdown", &Server::shutdown},
      {"textDocument/hover", &Server::hover},
      {"textDocument/completion", &Server::completion},
      {"textDocument/documentSymbol", &Server::documentSymbol},
      {"textDocument/definition", &Server::definition},
      {"textDocument/semanticTokens/full", &Server::semanticTokens},
      {"textDocument/semanticTokens/full/delta", &Server::semanticTokensDelta},
      {"textDocument/semanticTokens/range", &Server::semanticTokensRange},
      {"textDocument/references", &Server::references},
      {"textDocument/rename", &Server::rename},
      {"textDocument/documentHighlight", &Server::documentHighlight},
      {"textDocument/foldingRange", &Server::foldingRange},
      {"textDocument/signatureHelp", &Server::signatureHelp},
      {"workspace/symbol", &Server::workspaceSymbol},
  };
  return table;
}

const std::map<std::string, Server::Notification, std::less<>>& Server::notifications() {
  static const std::map<std::string, Notification, std::less<>> table = {
      {"initialized", &Server::initialized},
      {"exit", &Server::exit},
      {"textDocument/didOpen", &Server::didOpen},
      {"textDocument/didChange", &Server::didChange},
      {"textDocument/didClose", &Server::didClose},
      {"textDocument/didSave", &Server::didSave},
      {"workspace/didChangeWatchedFiles", &Server::didChangeWatchedFiles},
      {"$/cancelRequest", &Server::ignore},
      {"$/setTrace", &Server::ignore},
  };
  return table;
}

void Server::receive(const std::string& body) {
  json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) return respondError(nullptr, kParseError, "Parse error: the message is not JSON");
  if (!message.is_object()) return respondError(nullptr, kInvalidRequest, "Invalid request: not a JSON object");
  const bool hasId = message.contains("id") && (message["id"].is_number_integer() || message["id"].is_string());
  const json id = hasId ? message["id"] : json(nullptr);
  if (!message.contains("method") || !message["method"].is_string()) {
    // A client's answer to a request of ours (we make none) is dropped.
    if (message.contains("result") || message.contains("error")) return;
    return respondError(id, kInvalidRequest, "Invalid request: no method");
  }
  const std::string method = message["method"];
  const json params = message.contains("params") ? message["params"] : json::object();
  if (!hasId) {
    const auto handler = notifications().find(method);
    if (handler == notifications().end()) return;  // unknown notifications are ignored
    if (!initialized_ && method != "exit") return;
    try {
      (this->*handler->second)(params);
    } catch (const json::exception& e) {
      std::cerr << "zan lsp: " << method << zan::tr(": bad parameters: ") << e.what() << "\n";
    } catch (const RpcError& e) {
      std::cerr << "zan lsp: " << method << ": " << e.message << "\n";
    }
    return;
  }
  const auto handler = requests().find(method);
  if (handler == requests().end()) return respondError(id, kMethodNotFound, "Method not found: " + method);
  if (!initialized_ && method != "initialize")
    return respondError(id, kServerNotInitialized, "The server is not initialized");
  if (initialized_ && method == "initialize") return respondError(id, kInvalidRequest, "The server is initialized already");
  if (shutdown_) return respondError(id, kInvalidRequest, "The server is shutting down");
  try {
    respond(id, (this->*handler->second)(params));
  } catch (const json::exception& e) {
    respondError(id, kInvalidParams, std::string("Invalid params: ") + e.what());
  } catch (const RpcError& e) {
    respondError(id, e.code, e.message);
  }
}

void Server::protocolError(const std::string& what) {
  std::cerr << "zan lsp: " << what << "\n";
  respondError(nullptr, kParseError, "Parse error: " + what);
}

void Server::send(const json& message) {
  if (outputFailed_) return;
  const std::string bytes = frame(message.dump(-1, ' ', false, json::error_handler_t::replace));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(outputFd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      outputFailed_ = true;  // the client is gone
      return;
    }
    done += static_cast<size_t>(n);
  }
}

void Server::respond(const json& id, json result) {
  send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void Server::respondError(const json& id, int code, const std::string& message) {
  send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void Server::notify(const std::string& method, json params) {
  send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

// ---- Lifecycle ---------------------------------------------------------------

json Server::initialize(const json&) {
  initialized_ = true;
  return {
      {"capabilities",
       {{"positionEncoding", "utf-16"},
        {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", true}}},  // ranges changed
        {"hoverProvider", true},
        {"completionProvider", {{"triggerCharacters", {"_", "#", "\\"}}}},
        {"documentSymbolProvider", true},
        {"definitionProvider", true},
        {"referencesProvider", true},
        {"renameProvider", true},
        {"documentHighlightProvider", true},
        {"foldingRangeProvider", true},
        {"signatureHelpProvider", {{"triggerCharacters", {"(", ","}}}},
        {"workspaceSymbolProvider", true},
        {"semanticTokensProvider", {{"legend", semanticTokensLegend()}, {"full", {{"delta", true}}}, {"range", true}}}}},
      {"serverInfo", {{"name", "zan"}, {"version", ZAN_VERSION}}},
  };
}

json Server::shutdown(const json&) {
  shutdown_ = true;
  return nullptr;
}

void Server::initialized(const json&) {}

void Server::exit(const json&) { exited_ = true; }

void Server::ignore(const json&) {}

// ---- Documents ------------------------------------------------------------------

Document& Server::document(const json& params) {
  const std::string& uri = params.at("textDocument").at("uri").get_ref<const std::string&>();
  const auto found = documents_.find(uri);
  if (found == documents_.end()) throw RpcError{kInvalidParams, zan::tr("The document is not open: ") + uri};
  return found->second;
}

void Server::didOpen(const json& params) {
  const json& item = params.at("textDocument");
  const std::string& uri = item.at("uri").get_ref<const std::string&>();
  std::string text = item.at("text").get<std::string>();
  Document& doc = documents_[uri];
  doc.uri = uri;
  doc.path = normalPath(uriToPath(uri));
  doc.setText(std::move(text));
  doc.version = item.value("version", int64_t{0});
  scheduleCompile(doc, Clock::now());
  // Its includers read it from the client's text from now on.
  recheckIncluders(doc.path, Clock::now());
}

void Server::didChange(const json& params) {
  Document& doc = document(params);
  const json& changes = params.at("contentChanges");
  if (!changes.is_array() || changes.empty()) return;
  // In order: a whole text, or a range replaced.
  for (const json& change : changes) {
    if (!change.contains("range")) {
      doc.setText(change.at("text").get<std::string>());
      continue;
    }
    const json& r = change.at("range");
    if (!doc.replace(r.at("start").at("line").get<int64_t>(), r.at("start").at("character").get<int64_t>(),
                     r.at("end").at("line").get<int64_t>(), r.at("end").at("character").get<int64_t>(),
                     change.at("text").get_ref<const std::string&>())) {
      // The client's copy and ours differ now; a whole text would put them right.
      std::cerr << zan::tr("zan lsp: a change outside the document was ignored: ") << doc.uri << "\n";
    }
  }
  doc.version = params.at("textDocument").value("version", doc.version);
  const Clock::time_point when = Clock::now() + kCompileDelay;
  scheduleCompile(doc, when);
  recheckIncluders(doc.path, when);
}

void Server::didClose(const json& params) {
  const std::string& uri = params.at("textDocument").at("uri").get_ref<const std::string&>();
  const auto found = documents_.find(uri);
  if (found == documents_.end()) return;
  const std::string path = found->second.path;
  documents_.erase(found);
  if (worker_) worker_->cancel(uri);
  notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
  // Its includers read the file on disk again.
  recheckIncluders(path, Clock::now());
}

void Server::didSave(const json& params) {
  const std::string& uri = params.at("textDocument").at("uri").get_ref<const std::string&>();
  recheckIncluders(normalPath(uriToPath(uri)), Clock::now());
}

void Server::didChangeWatchedFiles(const json& params) {
  for (const json& change : params.at("changes"))
    recheckIncluders(normalPath(uriToPath(change.at("uri").get_ref<const std::string&>())), Clock::now());
}

void Server::scheduleCompile(Document& doc, Clock::time_point when) {
  ++doc.generation;
  doc.snapshot.reset();
  doc.compilePending = true;
  doc.compileAt = when;
  if (worker_) worker_->cancel(doc.uri);
}

void Server::recheckIncluders(const std::string& path, Clock::time_point when) {
  if (path.empty()) return;
  for (auto& [uri, doc] : documents_)
    if (doc.includes.count(path) > 0 && doc.path != path) {
      // Not later than a compile already asked for.
      scheduleCompile(doc, doc.compilePending && doc.compileAt < when ? doc.compileAt : when);
    }
}

const Document* Server::openDocument(std::string_view path) const {
  if (path.empty()) return nullptr;
  for (const auto& [uri, doc] : documents_)
    if (doc.path == path) return &doc;
  return nullptr;
}

int Server::compileDue() {
  const Clock::time_point now = Clock::now();
  int wait = -1;
  for (auto& [uri, doc] : documents_) {
    if (!doc.compilePending) continue;
    if (doc.compileAt <= now) {
      doc.compilePending = false;
      CompileJob job;
      job.uri = uri;
      job.generation = doc.generation;
      job.path = doc.path;
      job.name = doc.path.empty() ? doc.uri : doc.path;
      for (auto& [otherUri, other] : documents_) {
        if (!other.snapshot) other.snapshot = std::make_shared<const std::string>(other.text);
        if (!other.path.empty()) job.openTexts.emplace(other.path, other.snapshot);
      }
      job.text = doc.snapshot;
      if (!worker_) worker_ = std::make_unique<CompileWorker>();
      worker_->submit(std::move(job));
      continue;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(doc.compileAt - now).count() + 1;
    if (wait < 0 || ms < wait) wait = static_cast<int>(ms);
  }
  // Without a pipe to wake the loop, finished compiles are looked for often.
  if (worker_ && worker_->wakeFd() < 0 && worker_->busy() && (wait < 0 || wait > 20)) wait = 20;
  return wait;
}

int Server::resultsFd() const { return worker_ ? worker_->wakeFd() : -1; }

void Server::takeResults() {
  if (!worker_) return;
  for (CompileResult& result : worker_->take()) {
    const auto found = documents_.find(result.uri);
    if (found == documents_.end() || found->second.generation != result.generation) continue;
    Document& doc = found->second;
    doc.report = std::move(result.report);
    doc.macros = std::move(result.macros);
    doc.includes = std::move(result.includes);
    publishDiagnostics(doc);
  }
}

void Server::publishDiagnostics(const Document& doc) {
  const CompileReport& report = doc.report;
  json list = json::array();
  for (const Diagnostic& d : report.diagnostics) {
    if (list.size() >= kMaxPublished) break;
    if (d.kind == DiagnosticKind::Progress || d.inclusion) continue;
    json item = {{"source", "zan"}, {"severity", d.kind == DiagnosticKind::Error ? 1 : d.kind == DiagnosticKind::Warning ? 2 : 3}};
    std::string message = toUtf8(d.text);
    if (d.kind == DiagnosticKind::Error && d.errorNumber >= 0) {
      // In English the message is the explanation already.
      const std::string text = toUtf8(errorText(d.errorNumber));
      const std::string_view explanation = errorExplanation(d.errorNumber);
      message = text + " \"" + toUtf8(d.detail) + "\"" +
                (explanation != text ? " \u2014 " + std::string(explanation) : std::string()) + zan::tr(" (track ") +
                std::to_string(d.track) + zan::tr(", tick ") + std::to_string(d.tick) + ")";
    }
    if (d.kind == DiagnosticKind::Error && d.errorNumber >= 0) item["code"] = "e" + std::to_string(d.errorNumber);
    if (d.file <= 0) {
      const int32_t line = d.file == 0 ? d.line : 0;
      const std::string& text = static_cast<size_t>(line) < doc.lines.size() ? doc.lines[static_cast<size_t>(line)] : "";
      item["range"] = d.file == 0 ? utf16Range(line, LineColumns::ofUtf8(text), d.column, d.endColumn) : range(line, 0, 0);
    } else {
      // In an included file: shown on the score's #include that led there.
      const SourceFile& file = report.files[static_cast<size_t>(d.file)];
      const std::string& cp932 = static_cast<size_t>(d.line) < file.lines.size() ? file.lines[static_cast<size_t>(d.line)] : std::string();
      const LineColumns columns = LineColumns::ofCp932(cp932);
      int32_t f = d.file;
      const SourceFile* outermost = &file;
      for (int guard = 0; f > 0 && guard < 64; ++guard) {
        outermost = &report.files[static_cast<size_t>(f)];
        f = outermost->includedFromFile;
      }
      const int32_t line = f == 0 ? outermost->includedFromLine : 0;
      const std::string& text = static_cast<size_t>(line) < doc.lines.size() ? doc.lines[static_cast<size_t>(line)] : "";
      item["range"] = f == 0 ? utf16Range(line, LineColumns::ofUtf8(text), outermost->includedFromColumn,
                                          outermost->includedFromEndColumn)
                             : range(line, 0, LineColumns::ofUtf8(text).length(LineColumns::Utf16));
      const std::string where = toUtf8(file.name) + ":" + std::to_string(d.line + 1) + ":" +
                                std::to_string(columns.convert(d.column - 1, LineColumns::Cp932, LineColumns::Character) + 1);
      message = where + ": " + message;
      item["relatedInformation"] = json::array(
          {{{"location", {{"uri", pathToUri(absolutePath(file.path))}, {"range", utf16Range(d.line, columns, d.column, d.endColumn)}}},
            {"message", message}}});
    }
    item["message"] = message;
    list.push_back(std::move(item));
  }
  notify("textDocument/publishDiagnostics", {{"uri", doc.uri}, {"version", doc.version}, {"diagnostics", std::move(list)}});
}

// ---- The loop ---------------------------------------------------------------------

int runServer(int inputFd, int outputFd) {
  // A client that closes its end must not kill the server in a write.
  std::signal(SIGPIPE, SIG_IGN);
  Server server(outputFd);
  MessageReader reader;
  std::string chunk(64 << 10, '\0');
  for (;;) {
    server.takeResults();
    const int wait = server.compileDue();
    if (server.outputFailed()) return 1;
    pollfd fds[2] = {{inputFd, POLLIN, 0}, {server.resultsFd(), POLLIN, 0}};
    const int ready = ::poll(fds, fds[1].fd >= 0 ? 2 : 1, wait);
    if (ready < 0 && errno != EINTR) return 1;
    if (ready <= 0 || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    const ssize_t n = ::read(inputFd, chunk.data(), chunk.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      if (reader.midMessage()) std::cerr << zan::tr("zan lsp: the client went away in the middle of a message\n");
      return 1;  // the client went away without exit
    }
    reader.feed(std::string_view(chunk.data(), static_cast<size_t>(n)));
    for (MessageReader::Event e = reader.next(); e.kind != MessageReader::Event::Kind::None; e = reader.next()) {
      if (e.kind == MessageReader::Event::Kind::Error)
        server.protocolError(e.text);
      else
        server.receive(e.text);
      if (server.exited()) return server.exitStatus();
      if (server.outputFailed()) return 1;
    }
  }
}

}  // namespace zan::lsp
