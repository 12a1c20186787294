'use strict';
// Shared by the JavaScript tests: where the built artefacts are, the target application,
// and child scripts. Runs inside the Windows node.exe under Wine.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, spawnSync } = require('node:child_process');

const repo = path.resolve(__dirname, '..', '..');
const buildDir = path.resolve(repo, process.env.QUARNEL_BUILD || 'build/win-x64');
const modulePath = path.join(buildDir, 'Quarnel.node');
const testAddonPath = path.join(buildDir, 'tests', 'windows', 'quarnel_test.node');
const targetAppPath = path.join(buildDir, 'tests', 'fixtures', 'target_app.exe');

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls `check` until it returns a truthy value or the time runs out (then returns it anyway).
async function waitFor(check, timeoutMs = 5000, stepMs = 25) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value || Date.now() >= end) return value;
    await sleep(stepMs);
  }
}

function tempFile(prefix) {
  return path.join(os.tmpdir(), `${prefix}-${process.pid}-${Date.now()}-${Math.random().toString(16).slice(2)}`);
}

// A running target application: its windows' handles and the messages it logged.
class Target {
  constructor(child, logPath) {
    this.child = child;
    this.logPath = logPath;
    this.exited = new Promise((resolve) => child.once('exit', resolve));
  }

  lines() {
    try {
      return fs.readFileSync(this.logPath, 'utf8').split(/\r?\n/).filter(Boolean);
    } catch {
      return [];
    }
  }

  // Parsed message lines: { name, hwnd, wParam, lParam, x, y }.
  messages(name) {
    return this.lines()
      .map(parseMessage)
      .filter((m) => m && (!name || m.name === name));
  }

  clearLog() {
    fs.writeFileSync(this.logPath, '');
  }

  async waitForMessage(name, predicate = () => true, timeoutMs = 3000) {
    return waitFor(() => this.messages(name).find(predicate), timeoutMs);
  }

  get pid() {
    const ready = this.lines().find((l) => l.startsWith('ready '));
    return ready ? Number(/pid=(\d+)/.exec(ready)[1]) : 0;
  }

  get cwd() {
    const ready = this.lines().find((l) => l.startsWith('ready '));
    return ready ? /cwd=(.*)$/.exec(ready)[1] : '';
  }

  async stop() {
    if (this.child.exitCode === null) {
      this.child.kill();
      await this.exited;
    }
    fs.rmSync(this.logPath, { force: true });
  }
}

function parseMessage(line) {
  const m = /^(WM_\w+) hwnd=(-?\d+) wParam=(\d+) lParam=(-?\d+)(?: x=(-?\d+) y=(-?\d+))?$/.exec(line);
  if (!m) return null;
  return {
    name: m[1],
    hwnd: Number(m[2]),
    wParam: Number(m[3]),
    lParam: Number(m[4]),
    x: m[5] === undefined ? undefined : Number(m[5]),
    y: m[6] === undefined ? undefined : Number(m[6]),
  };
}

// Starts the target application with windows at the given rectangles ([x, y, w, h] each);
// resolves once every window exists, with `hwnds` in the same order.
async function startTarget(rects, extraArgs = []) {
  const logPath = tempFile('quarnel-target') + '.log';
  fs.writeFileSync(logPath, '');
  const args = ['--log', logPath, ...extraArgs];
  for (const r of rects) args.push('--window', r.join(','));
  const child = spawn(targetAppPath, args, { stdio: 'ignore' });
  const target = new Target(child, logPath);
  const ok = await waitFor(() => target.lines().filter((l) => l.startsWith('window ')).length === rects.length, 10000);
  if (!ok) {
    await target.stop();
    throw new Error(`target application did not open its windows: ${target.lines().join(' | ')}`);
  }
  target.hwnds = target
    .lines()
    .filter((l) => l.startsWith('window '))
    .map((l) => Number(/hwnd=(-?\d+)/.exec(l)[1]));
  return target;
}

// Runs the target application in one of its helper modes and returns its stdout.
function targetHelper(...args) {
  const result = spawnSync(targetAppPath, args.map(String), { encoding: 'utf8' });
  return (result.stdout || '').trim();
}

// Runs `source` in a child node.exe and resolves with { code, signal, output, timedOut }.
function runScript(source, { timeoutMs = 20000, env = {} } = {}) {
  const file = tempFile('quarnel-script') + '.js';
  fs.writeFileSync(file, source);
  return new Promise((resolve) => {
    const child = spawn(process.execPath, [file], {
      env: { ...process.env, ...env, QUARNEL_MODULE: modulePath, QUARNEL_TEST_ADDON: testAddonPath },
      stdio: ['ignore', 'pipe', 'pipe'],
    });
    let output = '';
    child.stdout.on('data', (d) => (output += d));
    child.stderr.on('data', (d) => (output += d));
    let timedOut = false;
    const timer = setTimeout(() => {
      timedOut = true;
      child.kill();
    }, timeoutMs);
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      fs.rmSync(file, { force: true });
      resolve({ code, signal, output, timedOut });
    });
  });
}

// Collects log records delivered to a log callback.
function collectLogs(quarnel) {
  const records = [];
  quarnel.SetLogCallBack((record) => records.push(record));
  records.find = (pattern) => records.filter((r) => pattern.test(r.content));
  return records;
}

// The records of one function written from now on, out of a collectLogs list.
function recordsOf(records, func) {
  const start = records.length;
  return {
    all: () => records.slice(start).filter((r) => r.func === func),
    contents() {
      return this.all().map((r) => r.content);
    },
  };
}

module.exports = {
  recordsOf,
  repo,
  buildDir,
  modulePath,
  testAddonPath,
  targetAppPath,
  sleep,
  waitFor,
  tempFile,
  startTarget,
  targetHelper,
  runScript,
  collectLogs,
  load: () => require(modulePath),
  loadTestAddon: () => require(testAddonPath),
};
