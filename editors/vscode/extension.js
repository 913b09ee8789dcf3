// Starts zan's language server (zan lsp) for zan scores: one server for the
// window, started when the first score opens.
'use strict';
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;

function activate() {
  const command = vscode.workspace.getConfiguration('zan').get('path') || 'zan';
  client = new LanguageClient('zan', 'zan', { command, args: ['lsp'] }, { documentSelector: [{ language: 'zan' }] });
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
