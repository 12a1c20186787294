'use strict';
// Focus and placement, mouse input and display queries, observed through the target
// application (another process) and the module's log records.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { load, repo, startTarget, targetHelper, collectLogs, waitFor, sleep, recordsOf } = require('./support');

const quarnel = load();
const records = collectLogs(quarnel);

const [screenWidth, screenHeight] = (process.env.QUARNEL_SCREEN || '1920x1080x24').split('x').map(Number);
const underWine = Boolean(process.env.WINEPREFIX);
const NOACTIVATE = 0x08000000;
const E_NOTIMPL = -2147467263; // 0x80004001 as a signed 32-bit number

// Records of one function written from now on; `settle` lets queued records arrive.
const recorder = (func) => recordsOf(records, `QuarnelImpl::${func}`);
const settle = () => sleep(150);

const cursor = () => targetHelper('--query-cursor').split(',').map(Number);

// Under Wine the first process that needs the desktop window starts explorer.exe, which then
// holds that process's standard handles: were it this one, the test runner would wait on
// our output pipe for ever. The target application runs with its output ignored.
test.before(async () => {
  const warm = await startTarget([[0, 0, 1, 1]]);
  await warm.stop();
});

test('display queries report the screen', async () => {
  const monitor = recorder('GetMainMonitorRect');
  assert.deepEqual(quarnel.GetMainMonitorReslution('ignored', 7), { width: screenWidth, height: screenHeight });
  await settle();
  assert.deepEqual(monitor.contents(), ['EnumDisplaySettingsW ret:1']);

  // The desktop extent is measured for every absolute move.
  const desk = recorder('GetDeskRect');
  assert.equal(quarnel.InputMouseMove(0, 0), -1);
  await settle();
  assert.deepEqual(desk.contents(), [
    `EnumDisplaySettings x:0 y:0 width:${screenWidth} height:${screenHeight}`,
    `width:${screenWidth} height:${screenHeight}`,
  ]);
});

// Normalised coordinates are truncated, and the system maps them back with truncation too:
// a move lands within one pixel of the point asked for.
const near = ([ax, ay], [bx, by]) => Math.abs(ax - bx) <= 1 && Math.abs(ay - by) <= 1;

test('mouse moves and clicks land in another process at the right client point', async (t) => {
  const target = await startTarget([[200, 150, 400, 300]]);
  t.after(() => target.stop());

  // [x, y] on the screen; the window's client point is (x - 200, y - 150)
  const moves = [[300, 250], [201, 151], [599, 449], [455, 300]];
  let landed;
  for (const [x, y] of moves) {
    target.clearLog();
    assert.equal(quarnel.InputMouseMove(x, y), -1);
    landed = await target.waitForMessage('WM_MOUSEMOVE', (m) => near([m.x, m.y], [x - 200, y - 150]));
    assert.ok(landed, `move to ${x},${y}: ${target.lines().join(' | ')}`);
    assert.ok(near(cursor(), [x, y]), `cursor ${cursor()} for ${x},${y}`);
  }

  const buttons = [
    // operation, messages it must produce where the cursor is
    ['InputMouseLeftClick', ['WM_LBUTTONDOWN', 'WM_LBUTTONUP']],
    ['InputMouseRightClick', ['WM_RBUTTONDOWN', 'WM_RBUTTONUP']],
    ['InputMouseLeftDown', ['WM_LBUTTONDOWN']],
    ['InputMouseLeftUp', ['WM_LBUTTONUP']],
    ['InputMouseRightDown', ['WM_RBUTTONDOWN']],
    ['InputMouseRightUp', ['WM_RBUTTONUP']],
  ];
  for (const [operation, expected] of buttons) {
    target.clearLog();
    await sleep(50);
    assert.equal(quarnel[operation]('ignored', 1), -1, operation);
    await waitFor(() => expected.every((name) => target.messages(name).length > 0), 3000);
    const seen = target.messages().filter((m) => /BUTTON(DOWN|UP)$/.test(m.name));
    assert.deepEqual(seen.map((m) => m.name), expected, operation);
    for (const m of seen) assert.deepEqual([m.x, m.y], [landed.x, landed.y], `${operation} ${m.name}`);
  }
});

test('an absolute move scales onto the desktop and wraps the 32-bit shift', async () => {
  // Expected dx worked out by hand: 2^31 wraps to -2^31, divided by the width, toward zero.
  const wrapped = { 1920: -1118481, 1280: -1677721 };
  const rows = [
    // x, y, expected log line
    [0, 0, 'dx:0 dy:0'],
    [screenWidth / 2, screenHeight / 2, 'dx:32768 dy:32768'],
    ...(wrapped[screenWidth] ? [[32768, 0, `dx:${wrapped[screenWidth]} dy:0`]] : []),
  ];
  for (const [x, y, line] of rows) {
    const move = recorder('InputMouseMove');
    assert.equal(quarnel.InputMouseMove(x, y), -1);
    await settle();
    assert.deepEqual(move.contents(), [line], `${x},${y}`);
  }
});

test('InputMouseMove with one argument throws and moves nothing', async () => {
  quarnel.InputMouseMove(123, 234);
  await sleep(100);
  const before = cursor();
  assert.ok(near(before, [123, 234]), `cursor ${before}`);
  const move = recorder('InputMouseMove');
  assert.throws(() => quarnel.InputMouseMove(700), { name: 'TypeError', code: 'ARGUMENTS_LENGTH_ERROR' });
  await settle();
  assert.deepEqual(move.all(), []);
  assert.deepEqual(cursor(), before);
});

test('SetWindowFocus moves the foreground to a window of another process', async (t) => {
  const target = await startTarget([[50, 50, 200, 150], [300, 50, 200, 150]]);
  t.after(() => target.stop());
  const [first, second] = target.hwnds;

  // The target's second window opened last and is in the foreground: start with the first.
  for (const hwnd of [first, second, first, second]) {
    target.clearLog();
    const focus = recorder('SetWindowFocus');
    quarnel.SetWindowFocus(hwnd);
    const foreground = quarnel.GetCurrentForegroundWindow('ignored');
    assert.ok(await target.waitForMessage('WM_SETFOCUS', (m) => m.hwnd === hwnd), target.lines().join(' | '));
    assert.ok(target.messages('WM_ACTIVATE').some((m) => m.hwnd === hwnd && m.wParam !== 0));
    await settle();
    const lines = focus.contents();
    const ids = /^currentThreadId:(\d+) foregroundThreadId:(\d+)$/.exec(lines[0]);
    assert.ok(ids, lines[0]);
    assert.notEqual(ids[1], ids[2], 'the foreground is never on the JavaScript thread here');
    // With no foreground window the attach to thread 0 fails; the sequence still runs through.
    const attached = ids[2] === '0' ? 0 : 1;
    assert.deepEqual(lines.slice(1), [
      `AttachThreadInput ret:${attached}`, 'SetForegroundWindow ret:1', 'BringWindowToTop ret:1',
      `UnAttachThreadInput ret:${attached}`,
    ]);
    if (attached && underWine) {
      // Wine moves activation and focus, but detaching leaves its foreground input queue
      // without an active window: GetForegroundWindow then answers 0.
      assert.ok([hwnd, 0].includes(foreground), `foreground ${foreground}`);
    } else {
      assert.equal(foreground, hwnd);
    }
  }

  // Already in the foreground: one record and nothing else happens.
  const current = quarnel.GetCurrentForegroundWindow();
  assert.equal(current, second);
  target.clearLog();
  const again = recorder('SetWindowFocus');
  quarnel.SetWindowFocus(current);
  await settle();
  assert.deepEqual(again.all().map((r) => [r.severity, r.content]), [[1, `current foreground window equal to hwnd:${current}`]]);
  assert.deepEqual(target.messages().filter((m) => /FOCUS|ACTIVATE/.test(m.name)), []);

  const invalid = recorder('SetWindowFocus');
  for (const hwnd of [0, 'not a number']) quarnel.SetWindowFocus(hwnd);
  await settle();
  assert.deepEqual(invalid.all().map((r) => [r.severity, r.content]), [[3, 'invalid hwnd'], [3, 'invalid hwnd']]);
  assert.equal(quarnel.GetCurrentForegroundWindow(), current);
});

test('GetCurrentForegroundWindow logs the handle in hexadecimal', async (t) => {
  const target = await startTarget([[600, 50, 200, 150]]);
  t.after(() => target.stop());
  const calls = recorder('GetCurrentForegroundWindow');
  const hwnd = quarnel.GetCurrentForegroundWindow();
  assert.equal(hwnd, target.hwnds[0]);
  await settle();
  assert.deepEqual(calls.contents(), [`get hwnd:0x${hwnd.toString(16)}`]);
});

test('SetWindowFocusable sets and clears WS_EX_NOACTIVATE, never toggles it', async (t) => {
  const target = await startTarget([[50, 250, 200, 100]]);
  t.after(() => target.stop());
  const [hwnd] = target.hwnds;
  const exstyle = () => Number(targetHelper('--query-exstyle', hwnd));

  const steps = [
    // focusable, bit afterwards
    [false, true],
    [false, true],
    [true, false],
    [true, false],
  ];
  for (const [focusable, noactivate] of steps) {
    const before = exstyle();
    const calls = recorder('SetWindowFocusable');
    quarnel.SetWindowFocusable(hwnd, focusable);
    const after = exstyle();
    assert.equal(Boolean(after & NOACTIVATE), noactivate, `focusable ${focusable}`);
    assert.equal(after & ~NOACTIVATE, before & ~NOACTIVATE, 'other bits untouched');
    await settle();
    assert.deepEqual(calls.contents(), [
      `SetWindowLongPtr ret:${before} hwnd:${hwnd} focusable:${focusable ? 1 : 0}`,
      'SetWindowPos ret:1',
    ]);
  }
});

test('SetWindowParent sets the owner; an unowned child logs code 0 and still succeeds', async (t) => {
  const target = await startTarget([[50, 400, 200, 100], [300, 400, 200, 100]]);
  t.after(() => target.stop());
  const [owner, child] = target.hwnds;

  const first = recorder('SetWindowParent');
  const result = quarnel.SetWindowParent(owner, child);
  assert.equal(result.status, 1);
  assert.equal(typeof result.errorCode, 'number');
  assert.equal(typeof result.errorMessage, 'string');
  assert.equal(Number(targetHelper('--query-owner', child)), owner);
  await settle();
  assert.deepEqual(first.all().map((r) => [r.severity, r.content]), [
    [3, `SetWindowLongPtr GWLP_HWNDPARENT err:0 child:${child} parent:${owner}`],
  ]);

  // Had an owner: no record; owner 0 takes it away again.
  const second = recorder('SetWindowParent');
  assert.equal(quarnel.SetWindowParent(0, child).status, 1);
  assert.equal(Number(targetHelper('--query-owner', child)), 0);
  await settle();
  assert.deepEqual(second.all(), []);

  const bad = recorder('SetWindowParent');
  const invalidChild = 0x7ffffff0;
  const failed = quarnel.SetWindowParent(owner, invalidChild);
  assert.equal(failed.status, 0);
  assert.notEqual(failed.errorCode, 0);
  assert.ok(failed.errorMessage.length > 0);
  await settle();
  assert.deepEqual(bad.all().map((r) => [r.severity, r.content]), [
    [3, `SetWindowLongPtr GWLP_HWNDPARENT err:${failed.errorCode} child:${invalidChild} parent:${owner}`],
  ]);
});

test('SetWindowFrontTaskbar marks the window full-screen and logs the answer', async (t) => {
  const target = await startTarget([[600, 400, 200, 100]]);
  t.after(() => target.stop());
  const [hwnd] = target.hwnds;
  const calls = recorder('SetWindowFrontTaskbar');
  quarnel.SetWindowFrontTaskbar(hwnd);
  quarnel.SetWindowFrontTaskbar(hwnd); // a second call makes a new taskbar object
  await settle();
  const lines = calls.contents();
  assert.equal(lines.length, 2);
  for (const line of lines) {
    const m = /^MarkFullscreenWindow ret:(-?\d+) hwnd:(-?\d+) fullscreen:1$/.exec(line);
    assert.ok(m, line);
    assert.equal(Number(m[2]), hwnd);
    // Wine's taskbar list does not implement it.
    if (underWine) assert.equal(Number(m[1]), E_NOTIMPL);
  }
});

// A second screen size needs a second X server, which only the host can start: the case runs
// in a nested Wine session (own Xvfb and prefix) launched through Wine's `start /unix`.
test('on a second screen size the display queries follow the screen', { timeout: 240000 }, async (t) => {
  const unixRepo = /^z:\\/i.test(repo) ? repo.slice(2).replace(/\\/g, '/') : '';
  const startExe = path.join(process.env.SystemRoot || 'C:\\windows', 'system32', 'start.exe');
  if (!underWine || !unixRepo || !fs.existsSync(startExe)) {
    t.skip('needs Wine with the repository on drive Z:');
    return;
  }
  const [width, height] = screenWidth === 1280 ? [1920, 1080] : [1280, 1024];
  const name = `quarnel-screen-${process.pid}-${Date.now()}`;
  const script = `Z:\\tmp\\${name}.js`;
  const output = `Z:\\tmp\\${name}.out`;
  fs.writeFileSync(script, `
    const { load, collectLogs, targetHelper, sleep } = require(${JSON.stringify(path.join(__dirname, 'support.js'))});
    (async () => {
      const quarnel = load();
      const logs = collectLogs(quarnel);
      const monitor = quarnel.GetMainMonitorReslution();
      const moved = quarnel.InputMouseMove(monitor.width - 1, monitor.height - 1);
      await sleep(200);
      const cursor = targetHelper('--query-cursor').split(',').map(Number);
      const desk = logs.filter((r) => r.func === 'QuarnelImpl::GetDeskRect').map((r) => r.content);
      console.log('RESULT ' + JSON.stringify({ monitor, moved, cursor, desk }));
      process.exit(0);
    })();
  `);
  t.after(() => {
    for (const file of [script, output]) fs.rmSync(file, { force: true });
  });
  const command = `cd ${unixRepo} && scripts/wine-run node /tmp/${name}.js > /tmp/${name}.tmp 2>&1;` +
    ` echo rc=$? >> /tmp/${name}.tmp; mv /tmp/${name}.tmp /tmp/${name}.out`;
  spawn(startExe, ['/unix', '/bin/sh', '-c', command], {
    stdio: 'ignore',
    env: {
      ...process.env,
      QUARNEL_SCREEN: `${width}x${height}x24`,
      QUARNEL_WINEPREFIX: `${process.env.WINEPREFIX}-screen-${width}x${height}`,
    },
  });
  // `start /unix` returns at once: the nested session signals its end by its output file.
  assert.ok(await waitFor(() => fs.existsSync(output), 200000, 250), 'the nested session did not finish');
  const text = fs.readFileSync(output, 'utf8');
  const line = text.split(/\r?\n/).find((l) => l.startsWith('RESULT '));
  assert.ok(line, text);
  const result = JSON.parse(line.slice('RESULT '.length));
  assert.deepEqual(result.monitor, { width, height });
  assert.equal(result.moved, -1);
  assert.ok(near(result.cursor, [width - 1, height - 1]), `cursor ${result.cursor}`);
  assert.equal(result.desk.at(-1), `width:${width} height:${height}`);
});
