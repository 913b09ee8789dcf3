" Run by editor_support_test.py in Vim over scores given as arguments: writes,
" for each, a line "== FILE" and then for each of its lines one letter a
" character, the class of zan's lexer that the colour of the character stands
" for (the letters of make_editor_files --classes), to $ZAN_RESULT.
let s:letters = {'zanNote': 'n', 'zanLength': 'l', 'zanRest': 'r', 'zanSetting': 's', 'zanChannel': 'c', 'zanLoop': 'o', 'zanComment': 'k', 'zanDirective': 'd', 'zanUnderscore': 'u', 'zanVariable': 'v', 'zanNumbered': 'b', 'zanMacro': 'm', 'zanArgument': 'a', 'zanBar': '|', 'zanUnknown': 'x'}
let s:cache = {}
function! s:Letter(id) abort
  let name = synIDattr(a:id, 'name')
  if name == '' | return '.' | endif
  if has_key(s:cache, name) | return s:cache[name] | endif
  let n = name
  while !has_key(s:letters, n)
    let n = matchstr(execute('highlight ' . n), 'links to \zs\S\+')
    if n == '' | break | endif
  endwhile
  let s:cache[name] = get(s:letters, n, '.')  " an item of no colour: a region's inside
  return s:cache[name]
endfunction
let s:out = []
for s:file in argv()
  execute 'edit ' . fnameescape(s:file)
  call add(s:out, '== ' . s:file)
  for s:l in range(1, line('$'))
    let s:text = getline(s:l)
    let s:row = ''
    for s:i in range(strchars(s:text))
      let s:row .= s:Letter(synID(s:l, byteidx(s:text, s:i) + 1, 1))
    endfor
    call add(s:out, s:row)
  endfor
endfor
call writefile(s:out, $ZAN_RESULT)
qall!
