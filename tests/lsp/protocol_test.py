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


def change(server, uri, version, text):
    server.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": version},
                                             "contentChanges": [{"text": text}]})


def several_documents(server, tmp):
    """Scores that include others open beside them: the includer follows the
    client's text of the included file, not the copy on disk."""
    def write(name, text):
        with open(os.path.join(tmp, name), "w") as f:
            f.write(text)
    write("inc.zan", "c x\n")
    inc = open_document(server, os.path.join(tmp, "inc.zan"), "c x\n")
    check([d["code"] for d in server.diagnostics(inc)] == ["e2"], "the included file has its own error")
    main = open_document(server, os.path.join(tmp, "main.zan"), '#include "inc.zan"\nc\n')
    found = [d["message"] for d in server.diagnostics(main)]
    check(any(m.startswith("inc.zan:1:3: ") for m in found), "the includer shows the error inside: %s" % found)
    # Fixed in the client, not saved: the includer's diagnostics clear.
    change(server, inc, 2, "c d\n_m(BASS, o2 c)\n")
    check(server.diagnostics(inc) == [], "the fixed file clears")
    check([d for d in server.diagnostics(main) if d["severity"] == 1] == [],
          "the includer reads the client's text of the included file and clears")
    # Go to definition lands in the client's text (the file on disk has no BASS).
    change(server, main, 2, '#include "inc.zan"\nBASS\n')
    server.diagnostics(main)
    server.request(30, "textDocument/definition", {"textDocument": {"uri": main}, "position": {"line": 1, "character": 1}})
    place = server.answer(30)["result"]
    check(place["uri"] == inc and place["range"]["start"] == {"line": 1, "character": 3},
          "definition in the open included document: %s" % place)
    # Saved, and the file on disk changes behind a closed document.
    write("inc.zan", "c d\n_m(BASS, o2 c)\n")
    server.notify("textDocument/didSave", {"textDocument": {"uri": inc}})
    check([d for d in server.diagnostics(main) if d["severity"] == 1] == [], "a save checks the includer again")
    server.notify("textDocument/didClose", {"textDocument": {"uri": inc}})
    server.diagnostics(inc)
    check([d for d in server.diagnostics(main) if d["severity"] == 1] == [], "closed: the file on disk is read")
    write("inc.zan", "c x\n")
    server.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": inc, "type": 2}]})
    found = [d["message"] for d in server.diagnostics(main)]
    check(any(m.startswith("inc.zan:1:3: ") for m in found), "a watched file's change is seen: %s" % found)
    # Two includers of one file, one of them through another file: both follow it.
    write("mid.zan", '#include "inc.zan"\n')
    inc = open_document(server, os.path.join(tmp, "inc.zan"), "c x\n")
    other = open_document(server, os.path.join(tmp, "other.zan"), '#include "mid.zan"\n')
    server.diagnostics(inc)
    server.diagnostics(main)
    check(any(d["severity"] == 1 for d in server.diagnostics(other)), "the nested include's error is shown")
    change(server, inc, 2, "c\n_m(BASS, o2 c)\n")
    seen = {}
    while len(seen) < 3:
        message = server.receive(60)
        if message.get("method") == "textDocument/publishDiagnostics":
            seen[message["params"]["uri"]] = message["params"]["diagnostics"]
    check(all(not [d for d in found if d["severity"] == 1] for found in seen.values()),
          "every includer is checked again: %s" % seen)
    server.notify("textDocument/didClose", {"textDocument": {"uri": inc}})
    server.diagnostics(inc)


def navigation(server, tmp):
    """Names found wherever they stand, and the shape of a score."""
    with open(os.path.join(tmp, "lib.zan"), "w") as f:
        f.write("_m(RIFF, c ~3)\n")
    text = ('#include "lib.zan"\n'
            '~3=1 _m(HOOK,d) {RIFF ~3}\n'
            '_tr(1) RIFF HOOK v~ 3 ~~3\n'
            '[2 c\n'
            'd ] ACTIVE_CC(7,0,\n'
            '_tr(2) \\3(\n'
            '{ a comment\n'
            'over two lines }\n')
    uri = open_document(server, os.path.join(tmp, "nav.zan"), text)
    server.diagnostics(uri)
    lib = "file://" + os.path.join(tmp, "lib.zan")
    at = lambda line, ch, **more: dict({"textDocument": {"uri": uri}, "position": {"line": line, "character": ch}}, **more)
    spots = lambda found: sorted((r["uri"].rsplit("/", 1)[1], r["range"]["start"]["line"], r["range"]["start"]["character"],
                                  r["range"]["end"]["character"]) for r in found)
    rows = [
        # (request, params, what the answer must be)
        ("references", at(2, 8, context={"includeDeclaration": True}),
         [("lib.zan", 0, 3, 7), ("nav.zan", 2, 7, 11)]),
        ("references", at(2, 24, context={"includeDeclaration": True}),
         [("lib.zan", 0, 12, 13), ("nav.zan", 1, 1, 2), ("nav.zan", 2, 20, 21), ("nav.zan", 2, 24, 25)]),
    ]
    for n, (method, params, expected) in enumerate(rows):
        server.request(40 + n, "textDocument/" + method, params)
        got = spots(server.answer(40 + n)["result"])
        check(got == expected, "%s at %s: %s" % (method, params["position"], got))
    server.request(50, "textDocument/rename", at(1, 9, newName="TAG"))
    changes = server.answer(50)["result"]["changes"]
    check(sorted((u.rsplit("/", 1)[1], [(e["range"]["start"]["line"], e["range"]["start"]["character"]) for e in edits])
                 for u, edits in changes.items()) == [("nav.zan", [(1, 8), (2, 12)])] and
          all(e["newText"] == "TAG" for e in changes[uri]), "rename of a macro: %s" % changes)
    server.request(51, "textDocument/rename", at(1, 1, newName="~7"))
    changes = server.answer(51)["result"]["changes"]
    check(sorted(changes) == sorted([uri, lib]) and changes[lib][0]["newText"] == "7" and len(changes[uri]) == 3,
          "rename of a variable, into the included file: %s" % changes)
    server.request(52, "textDocument/rename", at(1, 9, newName="lower"))
    check(server.answer(52)["error"]["code"] == -32602, "a macro's new name must be one")
    server.request(53, "textDocument/documentHighlight", at(1, 1))
    check([(h["range"]["start"]["line"], h["kind"]) for h in server.answer(53)["result"]] == [(1, 3), (2, 2), (2, 2)],
          "highlights: the assignment writes, the uses read")
    server.request(54, "textDocument/foldingRange", {"textDocument": {"uri": uri}})
    folds = sorted((r["startLine"], r["endLine"]) for r in server.answer(54)["result"])
    check(folds == [(2, 4), (3, 4), (5, 7), (6, 7)], "folding: the _tr stretches, the loop, the comment: %s" % folds)
    for n, (line, ch, label, active) in enumerate([(4, 18, "ACTIVE_CC(controller", 2), (5, 10, "\\3(semitones)", 0)]):
        server.request(55 + n, "textDocument/signatureHelp", at(line, ch))
        help = server.answer(55 + n)["result"]
        check(help["signatures"][0]["label"].startswith(label) and help["activeParameter"] == active,
              "signature help: %s" % help)
    server.request(57, "workspace/symbol", {"query": "hoo"})
    check([(s["name"], s["location"]["uri"]) for s in server.answer(57)["result"]] == [("HOOK", uri)],
          "workspace symbols across the open documents")
    server.notify("textDocument/didClose", {"textDocument": {"uri": uri}})


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

        # Hover shows the reference as a reader sees it, without its checker's markers.
        server.request(31, "textDocument/hover", at(0, 16))
        shown = server.answer(31)["result"]["contents"]["value"]
        check("notes" in shown and "<!--" not in shown and "out: events" not in shown, "hover without markers: %s" % shown)

        # Characters CP932 cannot hold are a warning, as zan gives it.
        lost = open_document(server, os.path.join(tmp, "lost.zan"), "c\n_print(🎵 x) d\n")
        found = server.diagnostics(lost)
        check([(d["severity"], d["range"]["start"], d["message"]) for d in found if d["severity"] == 2]
              == [(2, {"line": 1, "character": 7}, "1 character(s) have no CP932 form and read as '?'")],
              "the warning of a character without a CP932 form: %s" % found)

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

        several_documents(server, tmp)
        navigation(server, tmp)

        # One line's tokens by range; a range edit; the delta against the full list.
        server.request(25, "textDocument/semanticTokens/range",
                       {"textDocument": {"uri": uri}, "range": {"start": {"line": 1, "character": 0},
                                                                "end": {"line": 1, "character": 3}}})
        check(server.answer(25)["result"]["data"] == [1, 0, 2, 8, 0, 0, 2, 6, 12, 0, 0, 7, 2, 11, 0],
              "the tokens of line 1 alone")
        server.request(26, "textDocument/semanticTokens/full", {"textDocument": {"uri": uri}})
        full = server.answer(26)["result"]
        server.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 2}, "contentChanges": [
            {"range": {"start": {"line": 0, "character": 9}, "end": {"line": 1, "character": 0}}, "text": " {x\n} "},
            {"range": {"start": {"line": 2, "character": 0}, "end": {"line": 2, "character": 0}}, "text": "{日本}"}]})
        server.request(27, "textDocument/semanticTokens/full/delta",
                       {"textDocument": {"uri": uri}, "previousResultId": full["resultId"]})
        delta = server.answer(27)["result"]
        data = list(full["data"])
        for edit in delta["edits"]:
            data[edit["start"]:edit["start"] + edit["deleteCount"]] = edit.get("data", [])
        server.request(28, "textDocument/semanticTokens/full", {"textDocument": {"uri": uri}})
        check(len(delta["edits"]) == 1 and data == server.answer(28)["result"]["data"],
              "the delta turns the old list into the new: %s" % delta)
        server.request(29, "textDocument/documentSymbol", {"textDocument": {"uri": uri}})
        names = [s["name"] for s in server.answer(29)["result"]]
        check(names == ["{日本}", "{x }", "{日本}", "AB"], "the text after range edits: %s" % names)

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
