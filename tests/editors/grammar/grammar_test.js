// Colours the demo scores and every example of the language reference with
// the TextMate grammar, in VS Code's own engine (vscode-textmate on
// vscode-oniguruma), and compares each character's class with the one zan's
// lexer gives it (make_editor_files --classes). Lists every line where they
// differ; fails when fewer than MIN_AGREEMENT of the characters agree.
//
//   node grammar_test.js --grammar zan.tmLanguage.json --lexer make_editor_files
//        --source-dir DIR [--min 0.99]
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
let vsctm, oniguruma;
try {
  vsctm = require('vscode-textmate');
  oniguruma = require('vscode-oniguruma');
} catch (e) {
  console.log('vscode-textmate and vscode-oniguruma are not installed (make grammar-test installs them): skipped');
  process.exit(77);
}

function option(name, fallback) {
  const i = process.argv.indexOf(name);
  if (i < 0 || i + 1 >= process.argv.length) {
    if (fallback !== undefined) return fallback;
    console.error(`missing ${name}`);
    process.exit(2);
  }
  return process.argv[i + 1];
}
const grammarPath = option('--grammar');
const lexerPath = option('--lexer');
const sourceDir = option('--source-dir');
const minAgreement = Number(option('--min', '0.99'));

// The letter of each class, as make_editor_files --classes prints them; a
// scope's next-to-last part names its class.
const LETTERS = {
  note: 'n', length: 'l', rest: 'r', setting: 's', channel: 'c', loop: 'o', comment: 'k', directive: 'd',
  underscore: 'u', variable: 'v', numbered: 'b', macro: 'm', argument: 'a', bar: '|', unknown: 'x',
};
function letterOf(scopes) {
  for (let i = scopes.length - 1; i >= 0; --i) {
    const parts = scopes[i].split('.');
    if (parts[parts.length - 1] !== 'zan' || parts.length < 3) continue;
    const letter = LETTERS[parts[parts.length - 2]];
    if (!letter) throw new Error(`a scope of no class: ${scopes[i]}`);
    return letter;
  }
  return '.';
}

// A score's text: UTF-8, or CP932 as zan also reads it.
function decode(bytes) {
  try {
    return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  } catch (e) {
    return new TextDecoder('shift_jis').decode(bytes);
  }
}

// The scores: the demos, then each ```zan block of the reference.
function scores() {
  const list = ['demo.zan', 'demo_ja.zan'].map((f) => ({ name: `examples/${f}`, text: decode(fs.readFileSync(path.join(sourceDir, 'examples', f))) }));
  const refDir = path.join(sourceDir, 'docs/reference');
  for (const file of fs.readdirSync(refDir).filter((f) => f.endsWith('.md')).sort()) {
    const lines = fs.readFileSync(path.join(refDir, file), 'utf8').split('\n');
    for (let i = 0; i < lines.length; ++i) {
      if (lines[i].trim() !== '```zan') continue;
      const start = i + 1;
      let end = start;
      while (end < lines.length && lines[end].trim() !== '```') ++end;
      list.push({ name: `docs/reference/${file}:${start + 1}`, text: lines.slice(start, end).join('\n') });
      i = end;
    }
  }
  return list;
}

async function main() {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm')).buffer;
  await oniguruma.loadWASM(wasm);
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (sources) => new oniguruma.OnigScanner(sources),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async () => vsctm.parseRawGrammar(fs.readFileSync(grammarPath, 'utf8'), grammarPath),
  });
  const grammar = await registry.loadGrammar('source.zan');

  // The extension declares the language this grammar colours.
  const manifest = JSON.parse(fs.readFileSync(path.join(sourceDir, 'editors/vscode/package.json'), 'utf8'));
  const raw = JSON.parse(fs.readFileSync(grammarPath, 'utf8'));
  const declared = manifest.contributes.grammars[0];
  const language = manifest.contributes.languages[0];
  if (declared.scopeName !== raw.scopeName || declared.language !== language.id || !language.extensions.includes('.zan')) {
    console.log('FAILED: editors/vscode/package.json does not declare the grammar for .zan files');
    process.exit(1);
  }

  let total = 0;
  let agree = 0;
  const differences = [];
  for (const score of scores()) {
    const lines = score.text.replace(/\r/g, '').split('\n');
    const expected = execFileSync(lexerPath, ['--classes'], { input: lines.join('\n') }).toString().split('\n');
    let stack = vsctm.INITIAL;
    lines.forEach((line, n) => {
      const result = grammar.tokenizeLine(line, stack);
      stack = result.ruleStack;
      // Each character's class, by its first UTF-16 unit.
      const units = new Array(line.length).fill('.');
      for (const t of result.tokens) units.fill(letterOf(t.scopes), t.startIndex, t.endIndex);
      let got = '';
      for (let u = 0; u < line.length; ) {
        got += units[u];
        u += line.codePointAt(u) > 0xffff ? 2 : 1;
      }
      const want = expected[n] || '';
      let same = 0;
      for (let i = 0; i < got.length; ++i) if (got[i] === want[i]) ++same;
      total += got.length;
      agree += same;
      if (same !== got.length) differences.push(`${score.name} line ${n + 1}\n  text    ${line}\n  lexer   ${want}\n  grammar ${got}`);
    });
  }
  for (const d of differences) console.log(d);
  const share = total ? agree / total : 1;
  console.log(`${agree} of ${total} characters agree (${(share * 100).toFixed(2)}%), ${differences.length} lines differ`);
  if (share < minAgreement) {
    console.log(`FAILED: less than ${(minAgreement * 100).toFixed(2)}% agree`);
    process.exit(1);
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
