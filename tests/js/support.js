'use strict';
// Shared by the JavaScript tests: the built artefacts, the target application, child scripts and
// log records. Runs inside the Windows node.exe under Wine.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const assert = require('node:assert/strict');
const { spawn, spawnSync } = require('node:child_process');

const repo = path.resolve(__dirname, '..', '..');
const buildDir = path.resolve(repo, process.env.QUARNEL_BUILD || `build/win-${process.arch}`);
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

const tempFile = (prefix) =>
  path.join(os.tmpdir(), `${prefix}-${process.pid}-${Date.now()}-${Math.random().toString(16).slice(2)}`);

const fileLines = (file) => (fs.existsSync(file) ? fs.readFileSync(file, 'utf8').split(/\r?\n/).filter(Boolean) : []);

// The target application's report of itself, { pid, cwd }, once it has written it.
function readyLine(logPath) {
  const m = /^ready pid=(\d+) cwd=(.*)$/.exec(fileLines(logPath).find((l) => l.startsWith('ready ')) || '');
  return m ? { pid: Number(m[1]), cwd: m[2] } : undefined;
}

// A running target application: its windows' handles and the messages it logged.
class Target {
  constructor(child, logPath) {
    this.child = child;
    this.logPath = logPath;
    this.exited = new Promise((resolve) => child.once('exit', resolve));
  }

  lines() {
    return fileLines(this.logPath);
  }
  dump() {
    return this.lines().join(' | ');
  }

  // Parsed message lines, { name, hwnd, wParam, lParam, x, y }, of one name or all.
  messages(name) {
    return this.lines()
      .map((line) => /^(WM_\w+) hwnd=(-?\d+) wParam=(\d+) lParam=(-?\d+)(?: x=(-?\d+) y=(-?\d+))?$/.exec(line))
      .filter((m) => m && (!name || m[1] === name))
      .map(([, n, ...numbers]) => {
        const [hwnd, wParam, lParam, x, y] = numbers.map((v) => (v === undefined ? undefined : Number(v)));
        return { name: n, hwnd, wParam, lParam, x, y };
      });
  }
  clearLog() {
    fs.writeFileSync(this.logPath, '');
  }
  waitForMessage(name, predicate = () => true, timeoutMs = 3000) {
    return waitFor(() => this.messages(name).find(predicate), timeoutMs);
  }
  async stop() {
    if (this.child.exitCode === null) {
      this.child.kill();
      await this.exited;
    }
    fs.rmSync(this.logPath, { force: true });
  }
}

// Starts the target application with windows at the given rectangles ([x, y, w, h] each);
// resolves once every window exists, with `hwnds` in the same order.
async function startTarget(rects, extraArgs = []) {
  const logPath = tempFile('quarnel-target') + '.log';
  fs.writeFileSync(logPath, '');
  const args = ['--log', logPath, ...extraArgs, ...rects.flatMap((r) => ['--window', r.join(',')])];
  const target = new Target(spawn(targetAppPath, args, { stdio: 'ignore' }), logPath);
  const windows = () => target.lines().filter((l) => l.startsWith('window '));
  if (!(await waitFor(() => windows().length === rects.length, 10000))) {
    await target.stop();
    throw new Error(`target application did not open its windows: ${target.dump()}`);
  }
  target.hwnds = windows().map((l) => Number(/hwnd=(-?\d+)/.exec(l)[1]));
  return target;
}

// startTarget's target, stopped once the test `t` has ended.
async function targetFor(t, rects, extraArgs) {
  const target = await startTarget(rects, extraArgs);
  t.after(() => target.stop());
  return target;
}

// Runs the target application in one of its helper modes and returns its stdout.
function targetHelper(...args) {
  return (spawnSync(targetAppPath, args.map(String), { encoding: 'utf8' }).stdout || '').trim();
}

// Runs a program and resolves with { code, signal, output, timedOut, hang }. `onTimeout(pid)`
// runs before a child that overran its time is killed (to record where it hangs); whatever it
// resolves with comes back as `hang`. A process that hangs inside its exit may not end when
// killed either: it is then given up after a grace period.
function runProgram(file, args, { timeoutMs = 20000, env = process.env, cwd, onTimeout } = {}) {
  return new Promise((resolve) => {
    const child = spawn(file, args, { cwd, env, stdio: ['ignore', 'pipe', 'pipe'] });
    let output = '';
    child.stdout.on('data', (d) => (output += d));
    child.stderr.on('data', (d) => (output += d));
    let timedOut = false, hang, grace;
    const done = (code, signal) => {
      clearTimeout(timer);
      clearTimeout(grace);
      resolve({ code, signal, output, timedOut, hang });
    };
    const timer = setTimeout(async () => {
      timedOut = true;
      if (onTimeout) hang = await Promise.resolve(onTimeout(child.pid)).catch((e) => String(e));
      child.kill();
      grace = setTimeout(() => done(null, null), 5000);
    }, timeoutMs);
    // 'close', not 'exit': the child's output may still be on its way when it has exited.
    child.on('close', done);
  });
}

// Runs `source` in a child node.exe (or `execPath`, a copy of it) that finds the module and the
// test add-on in QUARNEL_MODULE and QUARNEL_TEST_ADDON; options and result as runProgram's.
function runScript(source, { env = {}, execPath = process.execPath, ...options } = {}) {
  const file = tempFile('quarnel-script') + '.js';
  fs.writeFileSync(file, source);
  return runProgram(execPath, [file], {
    ...options, env: { ...process.env, ...env, QUARNEL_MODULE: modulePath, QUARNEL_TEST_ADDON: testAddonPath },
  }).finally(() => fs.rm(file, { force: true }, () => {}));
}

// Runs `body` in an async function in a child node.exe that has `quarnel`, `addon`, `sleep`,
// `support` and `out(value)`; resolves with the value handed to `out` once the child exited 0.
async function childResult(body, options) {
  const result = await runScript(`
    const quarnel = require(process.env.QUARNEL_MODULE);
    const addon = require(process.env.QUARNEL_TEST_ADDON);
    const support = require(${JSON.stringify(__filename)});
    const sleep = support.sleep;
    const out = (value) => console.log('RESULT ' + JSON.stringify(value));
    (async () => { ${body} })().catch((e) => { console.log('ERROR ' + e.stack); process.exit(3); });
  `, options);
  assert.equal(result.code, 0, result.output);
  const line = result.output.split(/\r?\n/).find((l) => l.startsWith('RESULT '));
  assert.ok(line, result.output);
  return JSON.parse(line.slice('RESULT '.length));
}

// Runs `source` in a Worker; resolves with the last message it posted, once it has exited.
function workerAnswer(source) {
  const { Worker } = require('node:worker_threads');
  return new Promise((resolve, reject) => {
    const worker = new Worker(source, { eval: true });
    let answer;
    worker.on('message', (m) => (answer = m));
    worker.once('error', reject);
    worker.once('exit', () => resolve(answer));
  });
}

// Collects the log records delivered to a module's log callback.
function collectLogs(module) {
  const records = [];
  module.SetLogCallBack((record) => records.push(record));
  records.matching = (pattern) => records.filter((r) => pattern.test(r.content));
  records.appears = (pattern, timeoutMs) => waitFor(() => records.matching(pattern).length > 0, timeoutMs);
  // The records of `func` written from now on: `await mark()` lets queued records arrive (at
  // least `atLeast` of them, within bounds), then answers their contents, or with `withSeverity`
  // [severity, content] pairs.
  records.since = (func) => {
    const start = records.length;
    const of = () => records.slice(start).filter((r) => r.func === func);
    return async (withSeverity, atLeast = 0) => {
      await waitFor(() => of().length >= atLeast, 3000);
      await sleep(150);
      return of().map((r) => (withSeverity ? [r.severity, r.content] : r.content));
    };
  };
  return records;
}

// Wine's `start /unix` runs a host program from inside Wine, with this process's environment
// (its DISPLAY too). It returns at once, so the command signals its end by its output file.
// Resolves with what the command printed; `canRunUnix` says whether this can work here.
const startExe = path.join(process.env.SystemRoot || 'C:\\windows', 'system32', 'start.exe');
const unixRepo = /^z:\\/i.test(repo) ? repo.slice(2).replace(/\\/g, '/') : '';
const canRunUnix = Boolean(process.env.WINEPREFIX) && Boolean(unixRepo) && fs.existsSync(startExe);
async function runUnix(command, { timeoutMs = 30000, env = {} } = {}) {
  const name = path.basename(tempFile('quarnel-unix'));
  const [tmp, done] = [`/tmp/${name}.tmp`, `/tmp/${name}.out`];
  spawn(startExe, ['/unix', '/bin/sh', '-c', `cd ${unixRepo} && { ${command}; } > ${tmp} 2>&1; mv ${tmp} ${done}`],
    { stdio: 'ignore', env: { ...process.env, ...env } });
  const output = `Z:${done.replace(/\//g, '\\')}`;
  assert.ok(await waitFor(() => fs.existsSync(output), timeoutMs, 100), `no end of: ${command}`);
  const text = fs.readFileSync(output, 'utf8');
  fs.rmSync(output, { force: true });
  return text;
}

// Another screen layout or DPI needs another X server and prefix, which only the host can
// start: such cases run in a nested Wine session (own Xvfb and prefix). `body` runs in an
// async function with `quarnel`, `logs`, `support` and `sleep`; the value it returns comes
// back. Skipped where that cannot work.
async function nestedSession(t, env, body) {
  if (!canRunUnix) return t.skip('needs Wine with the repository on drive Z:');
  // In the host's /tmp, which both sides see.
  const name = `${path.basename(tempFile('quarnel-nested'))}.js`;
  const script = `Z:\\tmp\\${name}`;
  t.after(() => fs.rmSync(script, { force: true }));
  fs.writeFileSync(script, `
    const support = require(${JSON.stringify(require.resolve('./support'))});
    const { sleep } = support;
    const quarnel = support.load();
    const logs = support.collectLogs(quarnel);
    (async () => { ${body} })().then(
      (result) => { console.log('RESULT ' + JSON.stringify(result)); process.exit(0); },
      (error) => { console.log('ERROR ' + error.stack); process.exit(3); });
  `);
  // Bounded, so that a session that hangs still reports, with what it wrote.
  const text = await runUnix(`timeout 150 scripts/wine-run node /tmp/${name}`, { timeoutMs: 200000, env });
  return JSON.parse((/^RESULT (.*)$/m.exec(text) || assert.fail(text))[1]);
}

// A stress script's command line: `--name value` for each option of `defaults` (a number, a
// list separated by commas, or a string) and `--name` alone for a flag (false by default).
function parseOptions(argv, defaults) {
  const options = { ...defaults };
  for (let i = 0; i < argv.length; i++) {
    const name = argv[i].replace(/^--/, '');
    if (!argv[i].startsWith('--') || !(name in defaults)) throw new Error(`unknown argument ${argv[i]}`);
    const value = defaults[name];
    options[name] = value === false ? true : typeof value === 'number' ? Number(argv[++i])
      : Array.isArray(value) ? String(argv[++i]).split(',') : argv[++i];
  }
  if ('runs' in defaults && !(options.runs > 0)) throw new Error('--runs needs a positive number');
  return options;
}

// Runs a stress from its command line: prints each run's line, then the report; the exit code
// is 1 when `failed(result)`, 2 when the stress itself failed.
function runStress(run, report, failed, options, print = (line) => console.log(line)) {
  run({ ...options, print }).then((result) => {
    print(report(result));
    process.exitCode = failed(result) ? 1 : 0;
  }, (error) => {
    console.log(error.stack);
    process.exitCode = 2;
  });
}

module.exports = {
  repo,
  targetAppPath,
  sleep,
  waitFor,
  tempFile,
  readyLine,
  startTarget,
  targetFor,
  targetHelper,
  runProgram,
  runScript,
  childResult,
  collectLogs,
  workerAnswer,
  canRunUnix,
  runUnix,
  nestedSession,
  parseOptions,
  runStress,
  load: () => require(modulePath),
  loadTestAddon: () => require(testAddonPath),
};
