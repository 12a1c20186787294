'use strict';
// The README's examples and those of examples/, run as written: `quarnel` and its entries
// resolve to this repository and `electron` to a stand-in whose window is a window of the
// target application.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { spawn } = require('node:child_process');
const { repo, tempFile, targetFor, targetHelper, waitFor } = require('./support');

const examples = [...fs.readFileSync(path.join(repo, 'README.md'), 'utf8').matchAll(/^```(js|mjs)\n([\s\S]*?)^```$/gm)]
  .map(([, kind, source]) => ({ kind, source }));
const usesElectron = ({ source }) => /require\('electron'\)/.test(source);
const exampleFile = (name) => fs.readFileSync(path.join(repo, 'examples', name), 'utf8');

// The installed package as a stand-in: each entry forwards to the repository's file.
const entries = { 'index': 'index', 'helpers': 'lib/helpers', 'checked': 'lib/checked' };
function standInModules() {
  const exports = Object.fromEntries(Object.keys(entries).map((e) => [e === 'index' ? '.' : `./${e}`,
    { import: `./${e}.mjs`, default: `./${e}.js` }]));
  const files = { 'quarnel/package.json': JSON.stringify({ name: 'quarnel', exports }) };
  for (const [entry, file] of Object.entries(entries)) {
    const target = path.join(repo, file);
    files[`quarnel/${entry}.js`] = `module.exports = require(${JSON.stringify(`${target}.js`)});\n`;
    const url = JSON.stringify(pathToFileURL(`${target}.mjs`).href);
    files[`quarnel/${entry}.mjs`] = `export * from ${url};\nexport { default } from ${url};\n`;
  }
  files['electron/index.js'] = `module.exports = require(${JSON.stringify(path.join(__dirname, 'fake-electron.js'))});\n`;
  return files;
}

// Starts an example in a folder laid out like an application that installed the package (and
// Electron); `output` grows while it runs, `exited` resolves with its exit code.
function startExample({ kind = 'js', source }, { env = {}, args = [] } = {}) {
  const dir = tempFile('quarnel-example');
  for (const [file, text] of Object.entries(standInModules())) {
    const full = path.join(dir, 'node_modules', file);
    fs.mkdirSync(path.dirname(full), { recursive: true });
    fs.writeFileSync(full, text);
  }
  const file = path.join(dir, `example.${kind}`);
  fs.writeFileSync(file, source);
  const child = spawn(process.execPath, [file, ...args.map(String)],
    { cwd: dir, env: { ...process.env, ...env }, stdio: ['ignore', 'pipe', 'pipe'] });
  const run = { output: '', child, dir };
  child.stdout.on('data', (d) => (run.output += d));
  child.stderr.on('data', (d) => (run.output += d));
  run.exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  return run;
}

// Its exit code; it is killed when it has not ended in time. Its folder can go once it has
// ended (Windows keeps the working folder of a live process).
async function finish(run, timeoutMs = 15000) {
  const timer = setTimeout(() => run.child.kill(), timeoutMs);
  const code = await run.exited;
  clearTimeout(timer);
  fs.rmSync(run.dir, { recursive: true, force: true });
  return code;
}

test('every plain README example, CommonJS and ES module, runs to its end without an error', async () => {
  const plain = examples.filter((e) => !usesElectron(e));
  assert.ok(plain.some((e) => e.kind === 'mjs') && plain.some((e) => e.kind === 'js'));
  for (const example of plain) {
    const run = startExample(example);
    assert.equal(await finish(run), 0, `${example.source}\n${run.output}`);
    assert.doesNotMatch(run.output, /Error|QUARNEL_/, example.source);
  }
});

test('the Electron example focuses its window, answers IPC, lays a proxy over the other app, hears keys and quits', async (t) => {
  const target = await targetFor(t, [[40, 40, 500, 400], [600, 40, 500, 400]]);
  const [own, other] = target.hwnds;
  const quitFile = tempFile('quarnel-quit');
  target.clearLog();

  const electron = examples.filter(usesElectron);
  assert.deepEqual(electron.map((e) => e.source), [exampleFile('electron-main.js')], 'the README shows examples/electron-main.js');
  const run = startExample(electron[0], { env: {
    FAKE_ELECTRON_HWND: String(own), FAKE_ELECTRON_QUIT_FILE: quitFile, OTHER_APP_HWND: String(other),
    FAKE_ELECTRON_INVOKE: 'focus-main-window',
  } });
  t.after(async () => {
    await finish(run, 0);
    fs.rmSync(quitFile, { force: true });
  });
  const created = await waitFor(() => /^proxy window (\d+)$/m.exec(run.output), 10000);
  assert.ok(created, run.output);
  const proxy = Number(created[1]);
  assert.ok(target.messages('WM_SETFOCUS').some((m) => m.hwnd === own), target.dump());
  assert.ok(await waitFor(() => run.output.includes('ipc focus-main-window true')), run.output);

  // Input over the proxy reaches the other application's window.
  const [x, y, w, h] = targetHelper('--query-rect', proxy).split(',').map(Number);
  assert.deepEqual([w, h], [300, 200]);
  targetHelper('--cursor', `${x + 150},${y + 100}`);
  targetHelper('--wheel', 120);
  assert.ok(await target.waitForMessage('WM_MOUSEWHEEL', (m) => m.hwnd === other && m.wParam >>> 16 === 120), target.dump());

  assert.equal(targetHelper('--focus', proxy), '1');
  assert.ok(await waitFor(() => run.output.includes(`proxy focused ${proxy}`)), run.output);
  targetHelper('--send-keys', '0x27');
  assert.ok(await waitFor(() => run.output.includes('released right')), run.output);

  fs.writeFileSync(quitFile, '');
  assert.equal(await finish(run), 0, run.output);
  assert.match(run.output, /app quit\s*$/);
  assert.equal(targetHelper('--query-rect', proxy), '0,0,0,0');
  assert.doesNotMatch(run.output, /Error|TypeError/, run.output);
});

test('the keyboard listener and verified-focus examples do what they print', async (t) => {
  const target = await targetFor(t, [[40, 40, 300, 200]]);

  const listener = startExample({ source: exampleFile('keyboard-listener.js') });
  assert.ok(await waitFor(() => listener.output.includes('listening')), listener.output);
  targetHelper('--send-keys', '0x26,0x21,0x22');
  assert.equal(await finish(listener), 0, listener.output);
  assert.match(listener.output, /released up\r?\nreleased pageUp\r?\nreleased pageDown\r?\n$/);

  // exit code, output; for a real window, for a handle that names none, and without one
  const focus = (args) => startExample({ source: exampleFile('verified-focus.js') }, { args });
  const rows = [];
  for (const args of [[target.hwnds[0]], [0x7ffffff0], []]) {
    const run = focus(args);
    rows.push([await finish(run), run.output.trim().split(/\r?\n/)[0].replace(/\d+/, 'N')]);
  }
  assert.deepEqual(rows, [
    [0, 'window N has the focus'],
    [1, 'Windows did not give window N the focus'],
    [2, 'usage: node examples/verified-focus.js HWND (a window handle, in decimal)'],
  ]);
});
