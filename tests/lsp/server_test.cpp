// SPDX-License-Identifier: MIT
// The language server with its compile thread, spoken to over pipes in the
// same process (so that ThreadSanitizer sees both sides): it answers while
// a long score compiles, and a newer text cancels the compile of the old.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "lsp_server.h"
#include "lsp_transport.h"
#include "lsp_worker.h"

namespace zan::lsp {
namespace {

// A score that runs the compiler to its dispatch budget: seconds of work.
const std::string kLongScore = "[2000000000 r]\nc\n";

class Client {
 public:
  Client() {
    EXPECT_EQ(::pipe(toServer_), 0);
    EXPECT_EQ(::pipe(fromServer_), 0);
    server_ = std::thread([this] { status_ = runServer(toServer_[0], fromServer_[1]); });
  }
  ~Client() {
    ::close(toServer_[1]);  // the server sees its client go and ends
    server_.join();
    for (int fd : {toServer_[0], fromServer_[0], fromServer_[1]}) ::close(fd);
  }

  void send(const json& message) {
    const std::string bytes = frame(message.dump());
    ASSERT_EQ(::write(toServer_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void request(int id, const std::string& method, json params) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
  }
  void notify(const std::string& method, json params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
  }
  // The next message from the server; null after `seconds` without one.
  json receive(int seconds = 120) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
      const MessageReader::Event e = reader_.next();
      if (e.kind == MessageReader::Event::Kind::Message) return json::parse(e.text);
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd input{fromServer_[0], POLLIN, 0};
      if (left.count() <= 0 || ::poll(&input, 1, static_cast<int>(left.count())) <= 0) return nullptr;
      char chunk[65536];
      const ssize_t n = ::read(fromServer_[0], chunk, sizeof chunk);
      if (n <= 0) return nullptr;
      reader_.feed(std::string_view(chunk, static_cast<size_t>(n)));
    }
  }

 private:
  int toServer_[2] = {-1, -1};
  int fromServer_[2] = {-1, -1};
  int status_ = 0;
  std::thread server_;
  MessageReader reader_;
};

TEST(LanguageServer, AnswersWhileALongCompileRuns) {
  Client client;
  client.request(1, "initialize", json::object());
  ASSERT_TRUE(client.receive().contains("result"));
  client.notify("initialized", json::object());
  const std::string uri = "file:///nowhere/long.zan";
  client.notify("textDocument/didOpen",
                {{"textDocument", {{"uri", uri}, {"languageId", "zan"}, {"version", 1}, {"text", kLongScore}}}});
  client.request(2, "textDocument/hover", {{"textDocument", {{"uri", uri}}}, {"position", {{"line", 1}, {"character", 0}}}});
  // The answer comes first: the compile of the open document is still running.
  const json answer = client.receive();
  ASSERT_FALSE(answer.is_null());
  EXPECT_EQ(answer.value("id", 0), 2) << answer.dump();
  // A newer text cancels it; only the newer text's diagnostics are published.
  client.notify("textDocument/didChange", {{"textDocument", {{"uri", uri}, {"version", 2}}},
                                          {"contentChanges", json::array({{{"text", "c x\n"}}})}});
  const json published = client.receive();
  ASSERT_FALSE(published.is_null());
  EXPECT_EQ(published.value("method", ""), "textDocument/publishDiagnostics");
  EXPECT_EQ(published["params"].value("version", 0), 2) << published.dump();
  EXPECT_EQ(published["params"]["diagnostics"].size(), 1u) << published.dump();
}

TEST(CompileWorker, ANewerJobCancelsTheRunningCompileOfItsDocument) {
  CompileWorker worker;
  const auto job = [](const std::string& uri, uint64_t generation, const std::string& text) {
    CompileJob j;
    j.uri = uri;
    j.generation = generation;
    j.name = uri;
    j.text = std::make_shared<const std::string>(text);
    return j;
  };
  worker.submit(job("a", 1, kLongScore));
  worker.submit(job("b", 1, "c\n"));
  // Let the long compile start before its newer text comes.
  for (int i = 0; i < 1000; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (worker.busy()) break;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  worker.submit(job("a", 2, "d\n"));
  std::vector<std::pair<std::string, uint64_t>> done;
  for (int i = 0; i < 60000 && done.size() < 2; ++i) {
    for (const CompileResult& r : worker.take()) done.emplace_back(r.uri, r.generation);
    if (done.size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // The long compile gave no result; the other document's job was not touched.
  EXPECT_EQ(done, (std::vector<std::pair<std::string, uint64_t>>{{"b", 1}, {"a", 2}}));
}

}  // namespace
}  // namespace zan::lsp
