'use strict';
// Random arguments for every export, from a seed: values of every JavaScript type, argument
// counts below, at and above each function's arity, window handles of a real foreign window,
// of live and closed proxy windows and of a foreign window that is gone. Checks each call
// (too few arguments: exactly the TypeError; otherwise no exception and a result of the right
// shape; no call over 2 s), that no foreign window was sent WM_CLOSE, and afterwards that the
// module still works. A crash ends the process: the journal file names the last call.
//
//   scripts/wine-run node tests/stress/fuzz.js [--seed N] [--calls N] [--journal FILE]
//
// Prints one line "FUZZ <json>" with the outcome; exits 1 when anything was wrong.
const fs = require('node:fs');
const support = require('../js/support');

const SLOW_MS = 2000;
const INVALID_HWND = 4294967295;

// name: [arity, parameter kinds, result shape]
const EXPORTS = {
  SetWindowFocus: [1, ['hwnd'], 'undefined'],
  SetWindowParent: [2, ['hwnd', 'hwnd'], 'operation'],
  StartProcess: [3, ['exe', 'strings', 'string'], 'process'],
  IsHiddenFile: [1, ['string'], 'flag'],
  SetWindowFrontTaskbar: [1, ['hwnd'], 'undefined'],
  GetMainMonitorReslution: [0, [], 'resolution'],
  GetMacAddresses: [0, [], 'strings'],
  SetRunmode: [1, ['string'], 'undefined'],
  SetWindowFocusable: [2, ['hwnd', 'bool'], 'undefined'],
  GetCurrentForegroundWindow: [0, [], 'int32'],
  HookKeyboardEvent: [1, ['callback'], 'undefined'],
  UnHookKeyboardEvent: [0, [], 'undefined'],
  InputMouseMove: [2, ['coord', 'coord'], 'int32'],
  InputMouseLeftClick: [0, [], 'int32'],
  InputMouseLeftDown: [0, [], 'int32'],
  InputMouseLeftUp: [0, [], 'int32'],
  InputMouseRightClick: [0, [], 'int32'],
  InputMouseRightDown: [0, [], 'int32'],
  InputMouseRightUp: [0, [], 'int32'],
  WndProxyCreateProxyWindow: [6, ['hwnd', 'coord', 'coord', 'size', 'size', 'callback'], 'undefined'],
  WndProxyResizeWindow: [5, ['hwnd', 'coord', 'coord', 'size', 'size'], 'flag'],
  WndProxyCloseWindow: [1, ['hwnd'], 'undefined'],
  WndProxyCloseAllWindow: [1, ['hwnd'], 'undefined'],
  WndProxySetWindowCloseCB: [1, ['callback'], 'undefined'],
  WndProxySetFocusCB: [1, ['callback'], 'undefined'],
  WndProxySetBlurCB: [1, ['callback'], 'undefined'],
  WndProxyShowFrame: [0, [], 'undefined'],
  WndProxyHideFrame: [0, [], 'undefined'],
  SetLogCallBack: [1, ['callback'], 'undefined'],
  UnSetLogCallBack: [0, [], 'undefined'],
  GetMachineRegString: [2, ['regpath', 'string'], 'string'],
  ProgramWillQuit: [0, [], 'undefined'],
};

const isInt32 = (v) => Number.isInteger(v) && v >= -(2 ** 31) && v < 2 ** 31;
const isFlag = (v) => v === 0 || v === 1;
const SHAPES = {
  undefined: (v) => v === undefined,
  flag: isFlag,
  int32: isInt32,
  string: (v) => typeof v === 'string',
  strings: (v) => Array.isArray(v) && v.every((s) => typeof s === 'string'),
  resolution: (v) => v !== null && typeof v === 'object' && isInt32(v.width) && isInt32(v.height),
  operation: (v) => v !== null && typeof v === 'object' && isFlag(v.status) && isInt32(v.errorCode) &&
    typeof v.errorMessage === 'string',
  process: (v) => SHAPES.operation(v) && Number.isInteger(v.pid) && v.pid >= 0 && v.pid < 2 ** 32,
};

// sfc32: small, fast and the same on every platform.
function generator(seed) {
  let [a, b, c, d] = [0x9e3779b9, 0x243f6a88, 0xb7e15162, seed >>> 0];
  const next = () => {
    a >>>= 0; b >>>= 0; c >>>= 0; d >>>= 0;
    const t = (a + b + d) >>> 0;
    d = (d + 1) >>> 0;
    a = b ^ (b >>> 9);
    b = (c + (c << 3)) >>> 0;
    c = ((c << 21) | (c >>> 11)) + t;
    return t / 4294967296;
  };
  for (let i = 0; i < 16; i++) next();
  const int = (n) => Math.floor(next() * n);
  return { next, int, pick: (list) => list[int(list.length)], chance: (p) => next() < p };
}

class FuzzError extends Error {}

const HUGE_STRING = 'x'.repeat(1 << 20);
const HUGE_ARRAY = Array.from({ length: 100000 }, (_, i) => `arg${i}`);
const NUMBERS = [0, -0, 1, -1, 2, 7, 100, 2 ** 31 - 1, 2 ** 31, -(2 ** 31), -(2 ** 31) - 1, 2 ** 32 - 1, 2 ** 32,
  2 ** 32 + 1, 2 ** 53 - 1, 2 ** 53, -(2 ** 53 - 1), -(2 ** 53), 2 ** 63, 2 ** 64, Number.MAX_VALUE,
  Number.MIN_VALUE, Number.EPSILON, Infinity, -Infinity, NaN, 0.5, -0.5, 1.5, -2.5, 1e-300, 65535, 65536];
// No name here may be the image name of a running process: StartProcess ends every process
// with its exe's file name.
const STRINGS = ['', '\0', 'a\0b', '\0\0\0', HUGE_STRING, '😀', '\ud800', '\udfff\ud800x', 'é€𝄞', ' ', '%PATH%',
  'C:\\', 'C:\\windows', 'C:\\windows\\', 'C:\\nonexistent\\quarnel-fuzz\\missing.exe', 'quarnel-fuzz-none.exe',
  'Z:\\quarnel fuzz\\with space.exe', '\\\\?\\C:\\quarnel-fuzz', '..\\..\\..', 'C:\\' + 'd\\'.repeat(20000),
  'SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion', 'ProductName', 'SYSTEM', 'HARDWARE\\DESCRIPTION\\System',
  '12345', '-1', '0x10', 'null', 'runmode', 'line\r\nbreak', '\u202e', '\ufeff', 'a'.repeat(260), 'a'.repeat(32768)];
const EXES = ['C:\\nonexistent\\quarnel-fuzz\\missing.exe', 'quarnel-fuzz-none.exe', 'Z:\\quarnel fuzz\\with space.exe',
  '', 'C:\\windows', '\\\\?\\C:\\quarnel-fuzz\\x.exe', 'quarnel-fuzz-😀.exe', 'quarnel-fuzz-\ud800.exe'];
const REG_PATHS = ['SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion', 'SOFTWARE', '', 'SYSTEM\\CurrentControlSet',
  'SOFTWARE\\quarnel-fuzz\\missing', 'HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0'];

const throwing = () => {
  throw new FuzzError('fuzz: throwing accessor');
};
function specialObjects() {
  const getterArray = ['a', 'b'];
  Object.defineProperty(getterArray, 1, { get: throwing });
  const sparse = [];
  sparse[5] = 'x';
  return [
    {}, Object.create(null), { valueOf: throwing }, { toString: throwing }, { [Symbol.toPrimitive]: throwing },
    new Proxy({}, { get: throwing, has: throwing, ownKeys: throwing, getPrototypeOf: throwing }),
    new Proxy([], { get: throwing }), new Date(NaN), /fuzz/g, new Map([[1, 2]]), new Set([1]), Buffer.alloc(8),
    new Uint8Array(4), new Float64Array([NaN]), new ArrayBuffer(8), Promise.resolve(1), new FuzzError('value'),
    Object.defineProperty({}, 'length', { get: throwing }),
    [], ['a', 'b'], [1, 2, 3], [null, undefined, {}, Symbol('s'), 5n], [[['deep']], [['er']]], HUGE_ARRAY,
    [HUGE_STRING, HUGE_STRING], sparse, getterArray, [{ toString: throwing }], Object.freeze(['frozen']),
    Array.from({ length: 1000 }, () => ['nested', ['x']]),
  ];
}

function main({ seed, calls, journal }) {
  const rng = generator(seed);
  const quarnel = support.load();
  const violations = [];
  const slow = [];
  const stats = { calls: 0, thrown: 0, callbacks: 0, callbackThrows: 0, proxiesCreated: 0, maxMs: 0 };
  const journalFd = fs.openSync(journal, 'w');
  const violation = (what) => {
    if (violations.length < 50) violations.push(what);
  };

  // Exceptions thrown by the harness's callbacks reach the host's uncaught-exception handling;
  // anything else arriving there is a fault.
  const onUncaught = (error) => {
    if (error instanceof FuzzError) stats.callbackThrows++;
    else violation({ uncaught: String(error && error.stack) });
  };
  process.on('uncaughtException', onUncaught);
  process.on('unhandledRejection', onUncaught);

  const handles = { live: new Set(), closed: new Set(), foreign: [], gone: [] };
  const onProxy = (payload) => {
    stats.callbacks++;
    // Also set as a log or key callback: only proxy payloads carry a handle.
    const hwnd = payload !== null && typeof payload === 'object' ? payload.hwnd : undefined;
    if (typeof hwnd === 'number' && hwnd !== INVALID_HWND) {
      stats.proxiesCreated++;
      handles.live.add(hwnd | 0);
    }
  };
  let depth = 0;
  const callbacks = [
    () => stats.callbacks++,
    onProxy,
    () => {
      throw new FuzzError('fuzz: throwing callback');
    },
    async () => {
      throw new FuzzError('fuzz: rejecting callback');
    },
    function* generatorCallback() {},
    // Calls back into the module from inside a callback.
    () => {
      stats.callbacks++;
      if (depth === 0) invoke(rng.pick(Object.keys(EXPORTS)), true);
    },
    Math.max,
    (() => {}).bind(null, 1),
  ];
  const objects = specialObjects();
  const anyValue = () => {
    switch (rng.int(12)) {
      case 0: return undefined;
      case 1: return null;
      case 2: return rng.chance(0.5);
      case 3: case 4: return rng.chance(0.7) ? rng.pick(NUMBERS) : (rng.next() - 0.5) * 2 ** rng.int(64);
      case 5: return rng.pick([0n, 1n, -1n, 2n ** 63n, 2n ** 64n + 1n, -(2n ** 100n)]);
      case 6: return rng.pick([Symbol(), Symbol('fuzz'), Symbol.iterator]);
      case 7: return rng.pick(STRINGS);
      case 8: return rng.pick(objects);
      case 9: return rng.pick(callbacks);
      default: return hwnd();
    }
  };
  const hwnd = () => {
    switch (rng.int(6)) {
      case 0: return rng.pick(handles.foreign);
      case 1: case 2: return handles.live.size ? rng.pick([...handles.live]) : rng.pick(handles.foreign);
      case 3: return handles.closed.size ? rng.pick([...handles.closed]) : 0;
      case 4: return rng.pick(handles.gone);
      default: return rng.pick([0, -1, 1, 0x10010, INVALID_HWND, 2 ** 31 - 1, -(2 ** 31), 65536]);
    }
  };
  const typed = {
    hwnd,
    coord: () => (rng.chance(0.8) ? rng.int(1200) - 100 : rng.pick(NUMBERS)),
    size: () => (rng.chance(0.8) ? rng.int(300) : rng.pick(NUMBERS)),
    string: () => rng.pick(STRINGS),
    exe: () => rng.pick(EXES),
    regpath: () => rng.pick(REG_PATHS),
    strings: () => rng.pick([[], ['a', 'b c'], ['--x', ''], HUGE_ARRAY, [HUGE_STRING], ['😀', '\ud800']]),
    bool: () => rng.chance(0.5),
    callback: () => rng.pick(callbacks),
  };
  const argumentsFor = (name) => {
    const [arity, kinds] = EXPORTS[name];
    const roll = rng.next();
    const count = roll < 0.15 && arity > 0 ? rng.int(arity) : roll < 0.85 ? arity : arity + 1 + rng.int(3);
    return Array.from({ length: count }, (_, i) => {
      // The exe of StartProcess is always one of the harmless names: any other string could
      // name a running process.
      if (name === 'StartProcess' && i === 0) return rng.chance(0.8) ? typed.exe() : rng.pick([5, null, {}]);
      return i < kinds.length && rng.chance(0.6) ? typed[kinds[i]]() : anyValue();
    });
  };

  function invoke(name, nested = false) {
    const [arity, , shape] = EXPORTS[name];
    const args = argumentsFor(name);
    const call = `${stats.calls++} ${name}(${args.map(describe).join(', ')})`;
    fs.writeSync(journalFd, `${call}${nested ? ' (in a callback)' : ''}\n`);
    const closing = name === 'WndProxyCloseWindow' || name === 'WndProxyCloseAllWindow';
    depth++;
    const start = process.hrtime.bigint();
    let result;
    let error;
    try {
      result = quarnel[name](...args);
    } catch (e) {
      error = e;
    }
    const ms = Number(process.hrtime.bigint() - start) / 1e6;
    depth--;
    stats.maxMs = Math.max(stats.maxMs, ms);
    if (ms > SLOW_MS) slow.push({ call, ms: Math.round(ms) });
    if (args.length < arity) {
      const exact = error instanceof TypeError && error.code === 'ARGUMENTS_LENGTH_ERROR' &&
        error.message === 'Wrong number of arguments';
      if (!exact) violation({ call, expected: 'the ARGUMENTS_LENGTH_ERROR TypeError', got: describeOutcome(error, result) });
    } else if (error !== undefined) {
      violation({ call, unexpectedThrow: describeOutcome(error) });
    } else if (!SHAPES[shape](result)) {
      violation({ call, shape, got: describe(result) });
    }
    if (error) stats.thrown++;
    if (closing && args.length >= 1) {
      // Whatever it closed is no longer a live proxy (closing all may take every one).
      for (const h of name === 'WndProxyCloseAllWindow' ? [...handles.live] : [typeof args[0] === 'number' ? args[0] | 0 : 0]) {
        if (handles.live.delete(h)) handles.closed.add(h);
      }
    }
  }

  return {
    handles, invoke, rng, quarnel, violations, slow, stats, violation, onProxy,
    note: (text) => fs.writeSync(journalFd, `${text}\n`),
    done() {
      fs.closeSync(journalFd);
      process.off('uncaughtException', onUncaught);
      process.off('unhandledRejection', onUncaught);
    },
  };
}

function describe(value) {
  if (typeof value === 'string') return value.length > 24 ? `string(${value.length})` : JSON.stringify(value);
  if (typeof value === 'bigint') return `${value}n`;
  if (typeof value === 'symbol') return value.toString();
  if (typeof value === 'function') return `function ${value.name || '(anonymous)'}`;
  if (value === null || typeof value !== 'object') return Object.is(value, -0) ? '-0' : String(value);
  try {
    if (Array.isArray(value)) return `array(${value.length})`;
    return `object ${Object.prototype.toString.call(value)}`;
  } catch {
    return 'object (throws when looked at)';
  }
}

function describeOutcome(error, result) {
  if (error === undefined) return `returned ${describe(result)}`;
  return `threw ${error && error.name} code=${error && error.code} "${error && error.message}"`;
}

// The fuzz run itself, then the checks that the module still works. Resolves with the outcome.
async function run({ seed, calls, journal }) {
  const started = Date.now();
  const { sleep, waitFor, startTarget, targetHelper } = support;
  const target = await startTarget([[100, 100, 400, 300], [600, 100, 300, 200]]);
  const gone = await startTarget([[50, 450, 200, 100]]);
  await gone.stop();
  const fuzz = main({ seed, calls, journal });
  const { quarnel, handles, invoke, rng, violation } = fuzz;
  handles.foreign = target.hwnds;
  handles.gone = gone.hwnds;
  const resolution = quarnel.GetMainMonitorReslution();
  const names = Object.keys(EXPORTS);
  let outcome;
  try {
    // Proxies and frames alive before the first random call.
    for (let i = 0; i < 3; i++) {
      quarnel.WndProxyCreateProxyWindow(target.hwnds[i % 2], 120 + 60 * i, 120, 50, 50, fuzz.onProxy);
    }
    await waitFor(() => handles.live.size === 3, 5000);
    quarnel.WndProxyShowFrame();
    while (fuzz.stats.calls < calls) {
      invoke(rng.pick(names));
      // Let the queue deliver, so callbacks (and calls made from them) run between calls.
      if (fuzz.stats.calls % 16 === 0) await new Promise(setImmediate);
      if (fuzz.stats.calls % 500 === 0) await sleep(20);
    }
    const fuzzSeconds = (Date.now() - started) / 1000;
    await sleep(300);

    // No foreign window may have been asked to close.
    const foreignCloses = target.messages('WM_CLOSE').filter((m) => target.hwnds.includes(m.hwnd));
    if (foreignCloses.length) violation({ foreignWindowClosed: foreignCloses.map((m) => m.hwnd) });

    // The module still works.
    fuzz.note('checks');
    const broken = [];
    quarnel.InputMouseLeftUp();
    quarnel.InputMouseRightUp();
    quarnel.UnHookKeyboardEvent();
    quarnel.WndProxyHideFrame();
    for (const h of target.hwnds) quarnel.WndProxyCloseAllWindow(h);
    const after = quarnel.GetMainMonitorReslution();
    if (after.width !== resolution.width || after.height !== resolution.height || !(after.width > 0)) {
      broken.push(`resolution ${JSON.stringify(after)}, before ${JSON.stringify(resolution)}`);
    }
    const records = [];
    quarnel.SetLogCallBack((r) => records.push(r));
    quarnel.SetWindowFocus(0);
    if (!(await waitFor(() => records.some((r) => r.content === 'invalid hwnd'), 3000))) broken.push('no log record');
    fuzz.note('checks: keyboard hook');
    const keys = [];
    quarnel.HookKeyboardEvent((k) => keys.push(k));
    targetHelper('--send-keys', '0x25,0x28');
    if (!(await waitFor(() => keys.join() === 'left,down', 3000))) broken.push(`keys ${JSON.stringify(keys)}`);
    quarnel.UnHookKeyboardEvent();
    fuzz.note('checks: proxy over a new target');
    const fresh = await startTarget([[300, 300, 300, 200]]);
    try {
      const created = [];
      quarnel.WndProxyCreateProxyWindow(fresh.hwnds[0], 350, 350, 100, 80, (p) => created.push(p.hwnd));
      await waitFor(() => created.length > 0, 5000);
      if (!(created.length === 1 && created[0] !== INVALID_HWND)) broken.push(`proxy ${JSON.stringify(created)}`);
      const moved = quarnel.InputMouseMove(400, 390);
      const landed = await waitFor(() => targetHelper('--query-cursor') === '400,390', 2000);
      if (moved !== -1 || !landed) broken.push(`mouse move ${moved}, cursor ${targetHelper('--query-cursor')} for 400,390`);
      fresh.clearLog();
      quarnel.InputMouseLeftClick();
      // The proxy forwards the click to the window beneath, at the same screen point.
      const down = await fresh.waitForMessage('WM_LBUTTONDOWN', () => true, 3000);
      if (!down) broken.push(`click over the proxy not forwarded: ${fresh.dump()}`);
      quarnel.WndProxyCloseAllWindow(fresh.hwnds[0]);
    } finally {
      await fresh.stop();
    }
    quarnel.UnSetLogCallBack();
    if (broken.length) violation({ moduleBrokenAfterwards: broken });
    outcome = { seed, calls: fuzz.stats.calls, fuzzSeconds, seconds: (Date.now() - started) / 1000,
      violations: fuzz.violations, slow: fuzz.slow, stats: fuzz.stats };
  } finally {
    fuzz.done();
    await target.stop();
  }
  return outcome;
}

function summary(outcome) {
  const { stats } = outcome;
  return [
    `seed ${outcome.seed}: ${outcome.calls} calls in ${outcome.fuzzSeconds.toFixed(1)} s ` +
      `(${outcome.seconds.toFixed(1)} s with set-up and checks), ${stats.thrown} threw, ` +
      `longest call ${stats.maxMs.toFixed(0)} ms, ${stats.callbacks} callbacks run, ` +
      `${stats.callbackThrows} callback exceptions, ${stats.proxiesCreated} proxies created`,
    `calls over ${SLOW_MS} ms: ${outcome.slow.length}`,
    ...outcome.slow.slice(0, 10).map((s) => `  ${s.ms} ms: ${s.call}`),
    `violations: ${outcome.violations.length}`,
    ...outcome.violations.map((v) => `  ${JSON.stringify(v).slice(0, 600)}`),
  ].join('\n');
}

// Command line: --seed N --calls N --journal FILE (FUZZ_SEED and FUZZ_CALLS give the defaults).
function cli(argv) {
  const options = support.parseOptions(argv, { seed: Number(process.env.FUZZ_SEED || 1),
    calls: Number(process.env.FUZZ_CALLS || 10000), journal: support.tempFile('quarnel-fuzz') + '.journal' });
  options.seed >>>= 0;
  run(options).then((outcome) => {
    console.log(summary(outcome));
    console.log('FUZZ ' + JSON.stringify(outcome));
    process.exit(outcome.violations.length || outcome.slow.length ? 1 : 0);
  }, (error) => {
    console.log(`seed ${options.seed}: ${error.stack}`);
    process.exit(2);
  });
}

// Runs the harness in a node.exe of its own (a crash must not take the caller with it) and ends
// it once its journal has not grown for `stallMs`: a call that never returns can also eat
// memory without bound. Resolves with { code, output, stalled, lastCalls, outcome }.
function runIsolated({ seed, calls, stallMs = 60000 }) {
  const { spawn } = require('node:child_process');
  const journal = support.tempFile('quarnel-fuzz') + '.journal';
  const child = spawn(process.execPath, [__filename, '--seed', String(seed), '--calls', String(calls), '--journal', journal],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  child.stdout.on('data', (d) => (output += d));
  child.stderr.on('data', (d) => (output += d));
  let size = -1;
  let grew = Date.now();
  let stalled = false;
  const watch = setInterval(() => {
    const now = fs.existsSync(journal) ? fs.statSync(journal).size : 0;
    if (now !== size) {
      size = now;
      grew = Date.now();
    } else if (Date.now() - grew > stallMs) {
      stalled = true;
      child.kill();
    }
  }, 1000);
  return new Promise((resolve) => {
    child.on('close', (code) => {
      clearInterval(watch);
      const lastCalls = fs.existsSync(journal) ? fs.readFileSync(journal, 'utf8').trim().split('\n').slice(-5) : [];
      fs.rmSync(journal, { force: true });
      const line = output.split(/\r?\n/).find((l) => l.startsWith('FUZZ '));
      resolve({ code, stalled, lastCalls, output: output.replace(/^FUZZ .*$/m, '').trim(),
        outcome: line ? JSON.parse(line.slice('FUZZ '.length)) : undefined });
    });
  });
}

module.exports = { EXPORTS, run, runIsolated, summary, cli };

if (require.main === module) cli(process.argv.slice(2));
