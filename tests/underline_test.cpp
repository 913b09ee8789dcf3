// SPDX-License-Identifier: MIT
// The command line and the language server underline the same text for the
// same error: the table of tests/underline_cases.h through zan --diagnostics
// and zan lsp.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "lsp_transport.h"
#include "underline_cases.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Place {
  int line = -1, from = -1, to = -1;
  bool operator==(const Place&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Place& p) { return o << p.line << ":" << p.from << "-" << p.to; }

// The first error of `file` by zan --diagnostics=json, in the file named `in`.
Place cliPlace(const fs::path& file, const std::string& in) {
  const std::string command = std::string(ZAN_CLI_PATH) + " --diagnostics=json -o /dev/null '" + file.string() + "'";
  FILE* p = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  ::pclose(p);
  const json report = json::parse(out);
  for (const json& m : report.at("messages"))
    if (m.at("kind") == "error" && fs::path(m.at("file").get<std::string>()).filename() == in)
      return {m.at("line").get<int>() - 1, m.at("column").get<int>() - 1, m.at("endColumn").get<int>() - 1};
  return {};
}

// The first diagnostic zan lsp publishes for `file` opened with `text`: its
// range, and the place in an included file it relates to.
std::pair<Place, Place> serverPlace(const fs::path& file, const std::string& text) {
  int toServer[2], fromServer[2];
  if (::pipe(toServer) != 0 || ::pipe(fromServer) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(toServer[0], 0);
    ::dup2(fromServer[1], 1);
    ::close(toServer[1]);
    ::close(fromServer[0]);
    ::execl(ZAN_CLI_PATH, ZAN_CLI_PATH, "lsp", nullptr);
    ::_exit(127);
  }
  ::close(toServer[0]);
  ::close(fromServer[1]);
  const std::string uri = "file://" + file.string();
  auto send = [&](const json& message) {
    const std::string framed = zan::lsp::frame(message.dump());
    return ::write(toServer[1], framed.data(), framed.size()) == static_cast<ssize_t>(framed.size());
  };
  send({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", {{"capabilities", json::object()}}}});
  send({{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object()}});
  send({{"jsonrpc", "2.0"},
        {"method", "textDocument/didOpen"},
        {"params", {{"textDocument", {{"uri", uri}, {"languageId", "zan"}, {"version", 1}, {"text", text}}}}}});
  std::pair<Place, Place> found;
  zan::lsp::MessageReader reader;
  char buffer[4096];
  for (bool done = false; !done;) {
    pollfd in{fromServer[0], POLLIN, 0};
    if (::poll(&in, 1, 10000) <= 0) break;
    const ssize_t n = ::read(fromServer[0], buffer, sizeof buffer);
    if (n <= 0) break;
    reader.feed(std::string_view(buffer, static_cast<size_t>(n)));
    for (auto e = reader.next(); e.kind == zan::lsp::MessageReader::Event::Kind::Message; e = reader.next()) {
      const json m = json::parse(e.text);
      if (m.value("method", "") != "textDocument/publishDiagnostics") continue;
      done = true;
      for (const json& d : m.at("params").at("diagnostics")) {
        if (d.at("severity") != 1) continue;
        const json& r = d.at("range");
        found.first = {r["start"]["line"].get<int>(), r["start"]["character"].get<int>(), r["end"]["character"].get<int>()};
        if (d.contains("relatedInformation")) {
          const json& r2 = d["relatedInformation"][0]["location"]["range"];
          found.second = {r2["start"]["line"].get<int>(), r2["start"]["character"].get<int>(), r2["end"]["character"].get<int>()};
        }
        break;
      }
    }
  }
  send({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}});
  send({{"jsonrpc", "2.0"}, {"method", "exit"}});
  ::close(toServer[1]);
  ::close(fromServer[0]);
  ::waitpid(pid, nullptr, 0);
  return found;
}

TEST(Underlines, TheCommandLineAndTheServerMarkTheSameText) {
  const fs::path dir = fs::path(::testing::TempDir()) / "zan_underlines";
  for (const UnderlineCase& c : kUnderlineCases) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path score = dir / "s.zan";
    std::ofstream(score) << c.score;
    if (c.included) std::ofstream(dir / "part.zan") << c.included;
    const Place expected{c.line, c.from, c.to}, expectedIn{c.inLine, c.inFrom, c.inTo};
    const auto [range, related] = serverPlace(score, c.score);
    EXPECT_EQ(range, expected) << "zan lsp: " << c.score;
    if (c.included) {
      EXPECT_EQ(cliPlace(score, "part.zan"), expectedIn) << "zan --diagnostics: " << c.score;
      EXPECT_EQ(related, expectedIn) << "zan lsp, in part.zan: " << c.score;
    } else {
      EXPECT_EQ(cliPlace(score, "s.zan"), expected) << "zan --diagnostics: " << c.score;
    }
  }
  fs::remove_all(dir);
}

}  // namespace
