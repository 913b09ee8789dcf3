-- SPDX-License-Identifier: MIT
-- Run by nvim --headless on two_errors.zan with init.lua: the diagnostics
-- Neovim received, a hover and a completion. Exits 0 when all hold.
local function fail(what)
  io.stdout:write("FAILED: " .. what .. "\n")
  vim.cmd("cquit 1")
end
local function request(method, line, character)
  local params = { textDocument = vim.lsp.util.make_text_document_params(), position = { line = line, character = character } }
  local replies = vim.lsp.buf_request_sync(0, method, params, 10000) or {}
  for _, reply in pairs(replies) do
    if reply.result then return reply.result end
  end
  fail(method .. " gave no result")
end

if not vim.wait(20000, function() return #vim.diagnostic.get(0) >= 2 end, 50) then fail("no diagnostics") end
local found = {}
for _, d in ipairs(vim.diagnostic.get(0)) do
  table.insert(found, string.format("%d:%d %s %s", d.lnum + 1, d.col + 1, d.code, d.message))
end
table.sort(found)
io.stdout:write(table.concat(found, "\n") .. "\n")
if #found ~= 2 or not found[1]:find("^2:14 e2 .*undecipherable") or not found[2]:find("^3:21 e4 .*bad argument") then
  fail("the diagnostics are not the two errors of the score")
end

local hover = request("textDocument/hover", 2, 6)
if not hover.contents.value:find("system exclusive", 1, true) then fail("hover on EX: " .. hover.contents.value) end

local labels = {}
for _, item in ipairs(request("textDocument/completion", 1, 5).items) do labels[item.label] = item.detail end
if labels["LEAD"] ~= "LEAD(…)" or not labels["VIB_RATE"] or not labels["_tr"] then fail("completion lacks LEAD, VIB_RATE or _tr") end
io.stdout:write("ok\n")
vim.cmd("qall!")
