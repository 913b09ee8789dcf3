#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""zan lsp spoken to at the level of the protocol: framing, errors the
server answers and survives, the life cycle, and input meant to break it."""
import argparse
import json
import os
import select
import subprocess
import sys
import tempfile
import time


class Server:
    def __init__(self, zan, cwd):
        self.proc = subprocess.Popen([zan, "lsp"], cwd=cwd, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.buffer = b""

    def write(self, data):
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    def send(self, message):
        body = json.dumps(message).encode()
        self.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def request(self, id, method, params=None):
        self.send({"jsonrpc": "2.0", "id": id, "method": method, "params": params or {}})

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def receive(self, timeout=20):
        deadline = time.time() + timeout
        while True:
            head, sep, rest = self.buffer.partition(b"\r\n\r\n")
            if sep:
                length = int(head.split(b":")[1])
                if len(rest) >= length:
                    self.buffer = rest[length:]
                    return json.loads(rest[:length])
            left = deadline - time.time()
            if left <= 0 or not select.select([self.proc.stdout], [], [], left)[0]:
                raise AssertionError("no message from the server within %d s" % timeout)
            chunk = os.read(self.proc.stdout.fileno(), 1 << 20)
            if not chunk:
                raise AssertionError("the server closed its output")
            self.buffer += chunk

    def answer(self, id):
        """The response to request `id`, passing over notifications."""
        while True:
            message = self.receive()
            if message.get("id") == id and "method" not in message:
                return message

    def diagnostics(self, uri):
        while True:
            message = self.receive(60)
            if message.get("method") == "textDocument/publishDiagnostics" and message["params"]["uri"] == uri:
                return message["params"]["diagnostics"]


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def open_document(server, path, text):
    uri = "file://" + path
    server.notify("textDocument/didOpen",
                  {"textDocument": {"uri": uri, "languageId": "zan", "version": 1, "text": text}})
    return uri


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zan", required=True)
    zan = parser.parse_args().zan
    with tempfile.TemporaryDirectory() as tmp:
        server = Server(zan, tmp)
        server.request(1, "textDocument/hover")
        check(server.answer(1)["error"]["code"] == -32002, "requests before initialize are refused")
        server.request(2, "initialize", {"capabilities": {}})
        capabilities = server.answer(2)["result"]["capabilities"]
        check("hoverProvider" in capabilities, "initialize announces hover")
        legend = capabilities["semanticTokensProvider"]["legend"]["tokenTypes"]
        server.notify("initialized", {})

        # Framing: two messages in one write, one message in two writes.
        one = json.dumps({"jsonrpc": "2.0", "id": 3, "method": "nonsense/method"}).encode()
        two = json.dumps({"jsonrpc": "2.0", "id": 4, "method": "nonsense/other"}).encode()
        server.write(b"Content-Length: %d\r\n\r\n%s" % (len(one), one) + b"Content-Length: %d\r\n\r\n" % len(two))
        time.sleep(0.05)
        server.write(two)
        check(server.answer(3)["error"]["code"] == -32601, "an unknown method is answered as such")
        check(server.answer(4)["error"]["code"] == -32601, "the message split in two is read whole")

        # Bad JSON, a body that is no request, a broken header: errors, and the server goes on.
        for bad in [b"Content-Length: 9\r\n\r\n{\"id\": 5,", b"Content-Length: 2\r\n\r\n[]",
                    b"Content-Type: none\r\n\r\n"]:
            server.write(bad)
            reply = server.receive()
            check(reply["id"] is None and reply["error"]["code"] in (-32700, -32600), "bad input answered: %r" % bad)
        server.notify("nonsense/notification", {})
        server.request(6, "textDocument/hover", {"textDocument": {"uri": "file:///nowhere.zan"},
                                                  "position": {"line": 0, "character": 0}})
        check(server.answer(6)["error"]["code"] == -32602, "a document never opened is an invalid parameter")

        # Includes that loop: a diagnostic, not a hang.
        with open(os.path.join(tmp, "loop.zan"), "w") as f:
            f.write('c\n#include "loop.zan"\n')
        uri = open_document(server, os.path.join(tmp, "main.zan"), '#include "loop.zan"\nc x\n')
        codes = [d.get("code") for d in server.diagnostics(uri)]
        check("e5" in codes, "an include loop is reported as a limit: %s" % codes)

        # The outline, hover, completion and go to definition into an included file.
        with open(os.path.join(tmp, "parts.zan"), "w") as f:
            f.write("{parts}\n_m(BASS, o2 c)\n")
        uri = open_document(server, os.path.join(tmp, "song.zan"),
                            '{intro} _m(LEAD,c ?1)\n#include "parts.zan"\nBASS LEAD(4) EX=$F0,$F7\n')
        server.diagnostics(uri)
        at = lambda line, ch: {"textDocument": {"uri": uri}, "position": {"line": line, "character": ch}}
        server.request(20, "textDocument/documentSymbol", {"textDocument": {"uri": uri}})
        check([s["name"] for s in server.answer(20)["result"]] == ["{intro}", "LEAD"], "comments and macros listed")
        server.request(21, "textDocument/definition", at(2, 2))
        place = server.answer(21)["result"]
        check(place["uri"].endswith("/parts.zan") and place["range"]["start"] == {"line": 1, "character": 3},
              "BASS is defined in the included file: %s" % place)
        server.request(22, "textDocument/hover", at(2, 14))
        check("system exclusive" in server.answer(22)["result"]["contents"]["value"], "hover shows the library topic")
        server.request(23, "textDocument/completion", at(2, 0))
        items = {i["label"]: i for i in server.answer(23)["result"]["items"]}
        check(items["LEAD"]["detail"] == "LEAD(…)" and items["BASS"]["kind"] == 3 and "_print" in items
              and "#include" in items, "completion offers commands and both kinds of macros")

        # Semantic tokens, in UTF-16 columns after a double-byte comment.
        uri = open_document(server, os.path.join(tmp, "colours.zan"), "{日本} c4 EX=$F0\n_m(AB,c) AB\n")
        server.request(24, "textDocument/semanticTokens/full", {"textDocument": {"uri": uri}})
        data, tokens, line, start = server.answer(24)["result"]["data"], [], 0, 0
        for i in range(0, len(data), 5):
            line, start = line + data[i], data[i + 1] if data[i] else start + data[i + 1]
            tokens.append((line, start, data[i + 2], legend[data[i + 3]]))
        check(tokens == [(0, 0, 4, "comment"), (0, 5, 1, "keyword"), (0, 6, 1, "number"), (0, 8, 2, "macro"),
                         (0, 10, 4, "parameter"), (1, 0, 2, "method"), (1, 2, 6, "parameter"), (1, 9, 2, "macro")],
              "semantic tokens: %s" % tokens)

        # A 10 MB score compiles within the compiler's bounds.
        big = ("c d e f g a b > c < r8 " * 16 + "\n") * 28000
        check(len(big) > 10_000_000, "the score is 10 MB")
        started = time.time()
        uri = open_document(server, os.path.join(tmp, "big.zan"), big)
        server.diagnostics(uri)
        with open("/proc/%d/status" % server.proc.pid) as f:
            peak = [int(line.split()[1]) for line in f if line.startswith("VmHWM:")][0]
        check(peak < 1_500_000, "memory stays bounded: %d kB" % peak)
        print("10 MB score: diagnostics after %.1f s, peak memory %d MB" % (time.time() - started, peak // 1024))

        # #include: the current directory (the server's) first, then beside the score.
        os.makedirs(os.path.join(tmp, "songs"))
        for name, text in [("both.zan", "_print(current directory)"), ("songs/both.zan", "_print(beside)"),
                           ("songs/beside.zan", "_print(beside only)")]:
            with open(os.path.join(tmp, name), "w") as f:
                f.write(text)
        uri = open_document(server, os.path.join(tmp, "songs", "main.zan"),
                            '#include "both.zan"\n#include "beside.zan"\n')
        notes = [d["message"] for d in server.diagnostics(uri)]
        check(any(m.endswith("current directory") for m in notes) and any(m.endswith("beside only") for m in notes)
              and not any(m.endswith(": beside") for m in notes), "includes found by the one rule: %s" % notes)

        # A document beyond the bound of a score: one diagnostic, no compile.
        uri = open_document(server, os.path.join(tmp, "huge.zan"), "c" * ((64 << 20) + 1))
        found = server.diagnostics(uri)
        check(len(found) == 1 and "67108864 bytes" in found[0]["message"] and found[0]["severity"] == 1,
              "a document beyond the bound gets one diagnostic: %s" % [d["message"] for d in found])

        server.request(7, "shutdown")
        check(server.answer(7)["result"] is None, "shutdown answers null")
        server.request(8, "textDocument/hover", {})
        check(server.answer(8)["error"]["code"] == -32600, "requests after shutdown are refused")
        server.notify("exit", {})
        check(server.proc.wait(10) == 0, "exit after shutdown ends with status 0")

        # A client that goes away in the middle of a message.
        server = Server(zan, tmp)
        server.write(b"Content-Length: 100\r\n\r\n{\"jsonrpc\":")
        server.proc.stdin.close()
        check(server.proc.wait(10) == 1, "a vanished client ends the server with status 1, not a crash")
    print("ok")


if __name__ == "__main__":
    try:
        main()
    except AssertionError as e:
        print("FAILED:", e)
        sys.exit(1)
