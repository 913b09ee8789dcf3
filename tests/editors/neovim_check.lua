-- SPDX-License-Identifier: MIT
-- Run by editor_support_test.py in Neovim with the installed files and the
-- init.lua of docs/editors.md only: opens three scores, one including
-- another, then a score whose name has a space for :make; writes what it
-- saw as JSON to $ZAN_RESULT.
local result = { scores = {} }
local function finish()
  local file = io.open(os.getenv("ZAN_RESULT"), "w")
  file:write(vim.fn.json_encode(result))
  file:close()
  vim.cmd("qall!")
end

local buffers = {}
for _, name in ipairs({ "main.zan", "inc.zan", "other.zan" }) do
  vim.cmd("edit " .. vim.fn.fnameescape(name))
  buffers[name] = vim.api.nvim_get_current_buf()
end
-- Wait for every score to have its server and the two with errors their diagnostics.
vim.wait(20000, function()
  for _, buf in pairs(buffers) do
    if #vim.lsp.buf_get_clients(buf) == 0 then return false end
  end
  return #vim.diagnostic.get(buffers["inc.zan"]) > 0 and #vim.diagnostic.get(buffers["main.zan"]) > 0
end, 50)
local servers = {}
for name, buf in pairs(buffers) do
  local ids = {}
  for id in pairs(vim.lsp.buf_get_clients(buf)) do table.insert(ids, id); servers[id] = true end
  result.scores[name] = {
    filetype = vim.bo[buf].filetype,
    syntax = vim.api.nvim_buf_get_var(buf, "current_syntax"),
    servers = ids,
    diagnostics = #vim.diagnostic.get(buf),
  }
end
result.servers = vim.tbl_count(servers)
result.running = #vim.lsp.get_active_clients()

-- Fixing the included score clears its diagnostics, and the includer's.
vim.cmd("buffer " .. buffers["inc.zan"])
vim.api.nvim_buf_set_lines(0, 0, -1, false, { "c d e" })
vim.cmd("write")
result.fixed = vim.wait(10000, function() return #vim.diagnostic.get(buffers["inc.zan"]) == 0 end, 50)
result.includerFixed = vim.wait(10000, function() return #vim.diagnostic.get(buffers["main.zan"]) == 0 end, 50)

vim.cmd("edit " .. vim.fn.fnameescape("my song.zan"))
vim.cmd("silent make!")
result.quickfix = {}
for _, e in ipairs(vim.fn.getqflist()) do
  table.insert(result.quickfix, { file = vim.fn.bufname(e.bufnr), line = e.lnum, col = e.col, type = e.type })
end
finish()
