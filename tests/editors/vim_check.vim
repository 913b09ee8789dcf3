" Run by editor_support_test.py in Vim on a score whose name has a space,
" with the installed files and the vimrc of docs/editors.md only: writes
" the file type, the colours of a few places and the quickfix list of :make
" as JSON to $ZAN_RESULT.
let s:result = {'filetype': &filetype, 'syntax': get(b:, 'current_syntax', ''), 'colours': {}}
for [s:line, s:col] in [[1, 1], [2, 1], [3, 14], [4, 1]]
  let s:result.colours[s:line . ':' . s:col] = synIDattr(synIDtrans(synID(s:line, s:col, 1)), 'name')
endfor
silent make!
let s:result.quickfix = map(getqflist(), {_, e -> {'file': bufname(e.bufnr), 'line': e.lnum, 'col': e.col, 'type': e.type, 'text': e.text}})
call writefile([json_encode(s:result)], $ZAN_RESULT)
qall!
