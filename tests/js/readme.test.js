'use strict';
// The README's JavaScript examples, run as written: `quarnel` and `quarnel/helpers` resolve to
// this repository and `electron` to a stand-in whose window is a window of the target application.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { repo, tempFile, startTarget, targetHelper, waitFor } = require('./support');

const examples = [...fs.readFileSync(path.join(repo, 'README.md'), 'utf8').matchAll(/^```js\n([\s\S]*?)^```$/gm)]
  .map((m) => m[1]);
const usesElectron = (source) => /require\('electron'\)/.test(source);

// Starts an example in a folder laid out like an application that installed the package (and
// Electron); `output` grows while it runs, `exited` resolves with its exit code.
function startExample(source, env = {}) {
  const dir = tempFile('quarnel-readme');
  const modules = {
    'quarnel/package.json': JSON.stringify({ name: 'quarnel', exports: { '.': './index.js', './helpers': './helpers.js' } }),
    'quarnel/index.js': repo,
    'quarnel/helpers.js': path.join(repo, 'lib', 'helpers.js'),
    'electron/index.js': path.join(__dirname, 'fake-electron.js'),
  };
  for (const [file, target] of Object.entries(modules)) {
    const full = path.join(dir, 'node_modules', file);
    fs.mkdirSync(path.dirname(full), { recursive: true });
    fs.writeFileSync(full, file.endsWith('.json') ? target : `module.exports = require(${JSON.stringify(target)});\n`);
  }
  const file = path.join(dir, 'example.js');
  fs.writeFileSync(file, source);
  const child = spawn(process.execPath, [file], { cwd: dir, env: { ...process.env, ...env }, stdio: ['ignore', 'pipe', 'pipe'] });
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

test('every plain README example runs to its end', async () => {
  const plain = examples.filter((s) => !usesElectron(s));
  assert.ok(plain.length > 0);
  for (const source of plain) {
    const run = startExample(source);
    assert.equal(await finish(run), 0, `${source}\n${run.output}`);
    assert.equal(run.output, '', source);
  }
});

test('the Electron example focuses its window, lays a proxy over the other app, hears keys and quits', async (t) => {
  const target = await startTarget([[40, 40, 500, 400], [600, 40, 500, 400]]);
  t.after(() => target.stop());
  const [own, other] = target.hwnds;
  const quitFile = tempFile('quarnel-quit');
  target.clearLog();

  const electron = examples.filter(usesElectron);
  assert.equal(electron.length, 1);
  const run = startExample(electron[0], {
    FAKE_ELECTRON_HWND: String(own), FAKE_ELECTRON_QUIT_FILE: quitFile, OTHER_APP_HWND: String(other),
  });
  t.after(async () => {
    await finish(run, 0);
    fs.rmSync(quitFile, { force: true });
  });
  const created = await waitFor(() => /^proxy window (\d+)$/m.exec(run.output), 10000);
  assert.ok(created, run.output);
  const proxy = Number(created[1]);
  assert.ok(target.messages('WM_SETFOCUS').some((m) => m.hwnd === own), target.dump());

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
  assert.doesNotMatch(run.output, /Error|TypeError/, run.output);
});
