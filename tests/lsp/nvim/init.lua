-- SPDX-License-Identifier: MIT
-- Neovim (0.7 and later): zan lsp for every *.zan file. ZAN names the program.
vim.api.nvim_create_autocmd({ "BufRead", "BufNewFile" }, {
  pattern = "*.zan",
  callback = function(args)
    vim.bo[args.buf].filetype = "zan"
    local cmd = { os.getenv("ZAN") or "zan", "lsp" }
    local id = vim.lsp.start_client({ name = "zan", cmd = cmd, root_dir = vim.fn.getcwd() })
    vim.lsp.buf_attach_client(args.buf, id)
  end,
})
