'use strict';
// Focus and placement, mouse input and display queries, observed through the target
// application (another process) and the module's log records.
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, loadTestAddon, startTarget, targetFor, targetHelper, collectLogs, waitFor, sleep, nestedSession } = require('./support');

const quarnel = load();
const logs = collectLogs(quarnel);
const since = (func) => logs.since(`QuarnelImpl::${func}`);

const [screenWidth, screenHeight] = (process.env.QUARNEL_SCREEN || '1920x1080x24').split('x').map(Number);
const underWine = Boolean(process.env.WINEPREFIX);
const NOACTIVATE = 0x08000000;
const E_NOTIMPL = -2147467263; // 0x80004001 as a signed 32-bit number
const cursor = () => targetHelper('--query-cursor').split(',').map(Number);

// Under Wine the first process that needs the desktop window starts explorer.exe, which then
// holds that process's standard handles: were it this one, the test runner would wait on
// our output pipe for ever. The target application runs with its output ignored.
test.before(async () => (await startTarget([[0, 0, 1, 1]])).stop());

test('display queries report the screen; absolute moves scale onto it', async () => {
  const monitor = since('GetMainMonitorRect');
  assert.deepEqual(quarnel.GetMainMonitorReslution('ignored', 7), { width: screenWidth, height: screenHeight });
  assert.deepEqual(await monitor(), ['EnumDisplaySettingsW ret:1']);

  const rows = [
    // x, y, InputMouseMove's record
    [0, 0, 'dx:0 dy:0'],
    [screenWidth / 2, screenHeight / 2, 'dx:32768 dy:32768'],
  ];
  const measured = [];
  for (const [x, y, line] of rows) {
    const [move, desk] = [since('InputMouseMove'), since('GetDeskRect')];
    assert.equal(quarnel.InputMouseMove(x, y), -1);
    assert.deepEqual(await move(), [line], `${x},${y}`);
    measured.push(await desk());
  }
  // The desktop extent is measured by the first move of the process (perhaps an earlier test's)
  // and kept while the displays stay as they are.
  if (measured[0].length) {
    assert.deepEqual(measured[0], [
      `EnumDisplaySettings x:0 y:0 width:${screenWidth} height:${screenHeight}`, `width:${screenWidth} height:${screenHeight}`,
    ]);
  }
  assert.deepEqual(measured[1], []);

  // One argument too few: the TypeError comes before any move.
  const before = cursor();
  assert.deepEqual(before, [screenWidth / 2, screenHeight / 2]);
  const move = since('InputMouseMove');
  assert.throws(() => quarnel.InputMouseMove(700), { name: 'TypeError', code: 'ARGUMENTS_LENGTH_ERROR' });
  assert.deepEqual(await move(), []);
  assert.deepEqual(cursor(), before);
});

test('mouse moves and clicks land in another process at the right client point', async (t) => {
  const target = await targetFor(t, [[200, 150, 400, 300]]);
  let landed;
  // Exactly on the pixel, also where the scaling does not divide evenly.
  for (const [x, y] of [[300, 250], [201, 151], [599, 449], [455, 300], [333, 167]]) {
    target.clearLog();
    assert.equal(quarnel.InputMouseMove(x, y), -1);
    landed = await target.waitForMessage('WM_MOUSEMOVE', (m) => m.x === x - 200 && m.y === y - 150);
    assert.ok(landed, `move to ${x},${y}: ${target.dump()}`);
    assert.deepEqual(cursor(), [x, y]);
  }

  const buttons = [
    // operation, the messages it must produce where the cursor is
    ['InputMouseLeftClick', 'LBUTTONDOWN LBUTTONUP'], ['InputMouseRightClick', 'RBUTTONDOWN RBUTTONUP'],
    ['InputMouseLeftDown', 'LBUTTONDOWN'], ['InputMouseLeftUp', 'LBUTTONUP'],
    ['InputMouseRightDown', 'RBUTTONDOWN'], ['InputMouseRightUp', 'RBUTTONUP'],
  ];
  for (const [operation, names] of buttons) {
    const expected = names.split(' ').map((n) => `WM_${n}`);
    target.clearLog();
    await sleep(50);
    assert.equal(quarnel[operation]('ignored', 1), -1, operation);
    await waitFor(() => expected.every((name) => target.messages(name).length > 0), 3000);
    const seen = target.messages().filter((m) => /BUTTON(DOWN|UP)$/.test(m.name));
    assert.deepEqual(seen.map((m) => [m.name, m.x, m.y]), expected.map((n) => [n, landed.x, landed.y]), operation);
  }
});

test('SetWindowFocus moves the foreground to a window of another process', async (t) => {
  const target = await targetFor(t, [[50, 50, 200, 150], [300, 50, 200, 150]]);
  const [first, second] = target.hwnds;

  // The target's second window opened last and is in the foreground: start with the first.
  for (const hwnd of [first, second, first, second]) {
    target.clearLog();
    const focus = since('SetWindowFocus');
    quarnel.SetWindowFocus(hwnd);
    const foreground = quarnel.GetCurrentForegroundWindow('ignored');
    assert.ok(await target.waitForMessage('WM_SETFOCUS', (m) => m.hwnd === hwnd), target.dump());
    assert.ok(target.messages('WM_ACTIVATE').some((m) => m.hwnd === hwnd && m.wParam !== 0));
    const [head, ...rest] = await focus();
    const ids = /^currentThreadId:(\d+) foregroundThreadId:(\d+)$/.exec(head);
    assert.ok(ids && ids[1] !== ids[2], `${head}: the foreground is never on the JavaScript thread here`);
    // With no foreground window the attach to thread 0 fails; the sequence still runs through.
    const attached = ids[2] === '0' ? 0 : 1;
    assert.deepEqual(rest, [`AttachThreadInput ret:${attached}`, 'SetForegroundWindow ret:1',
      'BringWindowToTop ret:1', `UnAttachThreadInput ret:${attached}`]);
    // Wine moves activation and focus, but detaching leaves its foreground input queue
    // without an active window: GetForegroundWindow then answers 0.
    assert.ok((attached && underWine ? [hwnd, 0] : [hwnd]).includes(foreground), `foreground ${foreground}`);
  }

  const query = since('GetCurrentForegroundWindow');
  const current = quarnel.GetCurrentForegroundWindow();
  assert.equal(current, second);
  assert.deepEqual(await query(), [`get hwnd:0x${current.toString(16)}`]);

  // Already in the foreground: one record and nothing else happens.
  target.clearLog();
  const again = since('SetWindowFocus');
  quarnel.SetWindowFocus(current);
  assert.deepEqual(await again(true), [[1, `current foreground window equal to hwnd:${current}`]]);
  assert.deepEqual(target.messages().filter((m) => /FOCUS|ACTIVATE/.test(m.name)), []);

  const invalid = since('SetWindowFocus');
  for (const hwnd of [0, 'not a number']) quarnel.SetWindowFocus(hwnd);
  assert.deepEqual(await invalid(true), [[3, 'invalid hwnd'], [3, 'invalid hwnd']]);
  assert.equal(quarnel.GetCurrentForegroundWindow(), current);
});

test('input and focus for a process of the same integrity carry no warning', async (t) => {
  const target = await targetFor(t, [[50, 300, 200, 150]]);
  const [host, other] = loadTestAddon().test.integrityLevels(target.hwnds[0]);
  // Both read from real tokens (Wine gives every process the same level).
  assert.ok(host >= 0x1000 && other === host, `levels ${host} ${other}`);
  quarnel.SetWindowFocus(target.hwnds[0]);
  assert.equal(quarnel.InputMouseMove(100, 350), -1);
  assert.equal(quarnel.InputMouseLeftClick(), -1);
  await sleep(200);
  assert.deepEqual(logs.filter((r) => r.severity === 2 || /will drop/.test(r.content)), []);
});

test('SetWindowFocusable, SetWindowParent and SetWindowFrontTaskbar change the windows and log', async (t) => {
  const target = await targetFor(t, [[50, 400, 200, 100], [300, 400, 200, 100]]);
  const [owner, child] = target.hwnds;

  // WS_EX_NOACTIVATE is set and cleared, never toggled; the other bits stay, and so does the
  // activation (with the other window).
  quarnel.SetWindowFocus(child);
  assert.ok(await waitFor(() => quarnel.GetCurrentForegroundWindow() === child, 2000));
  const exstyle = () => Number(targetHelper('--query-exstyle', owner));
  for (const focusable of [false, false, true, true]) {
    const [before, calls] = [exstyle(), since('SetWindowFocusable')];
    quarnel.SetWindowFocusable(owner, focusable);
    assert.equal(exstyle(), focusable ? before & ~NOACTIVATE : before | NOACTIVATE, `focusable ${focusable}`);
    assert.deepEqual(await calls(), [
      `SetWindowLongPtr ret:${before} hwnd:${owner} focusable:${focusable ? 1 : 0}`, 'SetWindowPos ret:1',
    ]);
  }
  await sleep(200);
  assert.equal(quarnel.GetCurrentForegroundWindow(), child);

  const invalidChild = 0x7ffffff0;
  const rows = [
    // owner, child, status, owner afterwards, record (the error code filled in)
    // An unowned child logs code 0 and still succeeds.
    [owner, child, 1, owner, `SetWindowLongPtr GWLP_HWNDPARENT err:0 child:${child} parent:${owner}`],
    [0, child, 1, 0, null], // had an owner: no record; owner 0 takes it away again
    [owner, invalidChild, 0, null, `SetWindowLongPtr GWLP_HWNDPARENT err:{} child:${invalidChild} parent:${owner}`],
  ];
  for (const [parent, hwnd, status, ownerAfter, record] of rows) {
    const calls = since('SetWindowParent');
    const result = quarnel.SetWindowParent(parent, hwnd);
    assert.equal(result.status, status);
    if (ownerAfter !== null) assert.equal(Number(targetHelper('--query-owner', hwnd)), ownerAfter);
    if (!status) assert.ok(result.errorCode !== 0 && result.errorMessage.length > 0, JSON.stringify(result));
    assert.deepEqual(await calls(true), record ? [[3, record.replace('{}', result.errorCode)]] : []);
  }

  // Full-screen marking; a second call makes a new taskbar object. Wine does not implement it.
  const calls = since('SetWindowFrontTaskbar');
  quarnel.SetWindowFrontTaskbar(owner);
  quarnel.SetWindowFrontTaskbar(owner);
  const line = `MarkFullscreenWindow ret:${underWine ? E_NOTIMPL : '-?\\d+'} hwnd:${owner} fullscreen:1`;
  assert.match((await calls()).join('|'), new RegExp(`^${line}\\|${line}$`));
});

test('no export waits for a window whose thread has stopped answering; the changes land once it answers', { timeout: 30000 }, async (t) => {
  const awake = await targetFor(t, [[600, 400, 100, 100]]);
  // Made last, the stalled windows take the foreground.
  const target = await targetFor(t, [[50, 400, 200, 100], [300, 400, 200, 100]], ['--stall', '4000']);
  const [stalled, other] = target.hwnds;
  assert.ok(await waitFor(() => target.lines().includes('stalled'), 5000));
  const took = {};
  const timed = (name, call) => {
    const start = process.hrtime.bigint();
    const result = call();
    took[name] = Number(process.hrtime.bigint() - start) / 1e6;
    return result;
  };
  // First: the announcement waited 5 s for such a window, until it counts as hung.
  timed('SetRunmode', () => quarnel.SetRunmode(`stalled${process.pid}`));
  timed('SetWindowFocusable', () => quarnel.SetWindowFocusable(stalled, false));
  const owned = timed('SetWindowParent', () => quarnel.SetWindowParent(other, stalled));
  timed('SetWindowFocus', () => quarnel.SetWindowFocus(stalled));
  timed('SetWindowFrontTaskbar', () => quarnel.SetWindowFrontTaskbar(stalled));
  // The foreground held by a window that does not answer: taking it away waits for nobody.
  const heldBy = quarnel.GetCurrentForegroundWindow();
  timed('SetWindowFocus away', () => quarnel.SetWindowFocus(awake.hwnds[0]));
  let proxy = null;
  timed('WndProxyCreateProxyWindow', () => quarnel.WndProxyCreateProxyWindow(stalled, 60, 410, 40, 40, (e) => (proxy = e.hwnd)));
  await waitFor(() => proxy !== null, 1000);
  if (proxy !== null) timed('WndProxyResizeWindow', () => quarnel.WndProxyResizeWindow(proxy, 70, 420, 30, 30));
  timed('WndProxyShowFrame', () => quarnel.WndProxyShowFrame());
  timed('WndProxyHideFrame', () => quarnel.WndProxyHideFrame());
  timed('WndProxyCloseAllWindow', () => quarnel.WndProxyCloseAllWindow(stalled));
  t.diagnostic(Object.entries(took).map(([name, ms]) => `${name} ${ms.toFixed(1)} ms`).join(', ') +
    `; the foreground was ${[stalled, other].includes(heldBy) ? 'the stalled window' : heldBy}`);
  // A stall detector, not a speed goal: a wait on the window would take seconds.
  assert.deepEqual(Object.entries(took).filter(([, ms]) => ms >= 1000), []);
  assert.deepEqual([owned.status, owned.errorCode], [0, 1460]); // ERROR_TIMEOUT: still to come
  // Made from threads of their own once the window answers again.
  assert.ok(await waitFor(() => Number(targetHelper('--query-owner', stalled)) === other, 8000), 'owner');
  assert.ok(await waitFor(() => (Number(targetHelper('--query-exstyle', stalled)) & NOACTIVATE) !== 0, 2000), 'style');
  // The focus asked for last holds: the earlier request, which waited for the stalled window, is dropped.
  assert.equal(Number(targetHelper('--query-foreground')), awake.hwnds[0]);
});

// Wine emulates display modes in a virtual desktop (explorer /desktop=NAME,WxH), where a mode
// change resizes the desktop as a real one would. The mode it leaves behind is the prefix's
// (its display registry), so this runs in a nested session with a prefix of its own.
const modeChanges = `
  const move = async (x, y) => {
    const desk = logs.since('QuarnelImpl::GetDeskRect');
    const result = quarnel.InputMouseMove(x, y);
    await sleep(100);
    return [result, support.targetHelper('--query-cursor'), ...(await desk()).filter((l) => l.startsWith('width:'))];
  };
  const steps = [await move(512, 384), await move(100, 100)];
  steps.push(support.targetHelper('--display-mode', '800x600').split(/\\r?\\n/).pop());
  steps.push(await move(400, 300), await move(700, 500));
  support.targetHelper('--display-mode', '0x0');
  return steps;
`;

test('a display change is seen by the next move', { timeout: 240000 }, async (t) => {
  const result = await nestedSession(t, { QUARNEL_WINEPREFIX: `${process.env.WINEPREFIX}-modes` }, `
    const fs = require('node:fs');
    const { spawn } = require('node:child_process');
    const [script, output] = [support.tempFile('quarnel-modes') + '.js', support.tempFile('quarnel-modes') + '.json'];
    fs.writeFileSync(script, \`
      const support = require(\${JSON.stringify(require.resolve(${JSON.stringify(require.resolve('./support'))}))});
      const { sleep } = support;
      const quarnel = support.load();
      const logs = support.collectLogs(quarnel);
      (async () => { ${modeChanges.replace(/[`\\$]/g, (c) => '\\' + c)} })().then(
        (steps) => require('node:fs').writeFileSync(\${JSON.stringify(output)}, JSON.stringify(steps)),
        (error) => require('node:fs').writeFileSync(\${JSON.stringify(output)}, JSON.stringify(String(error.stack)))).then(() => process.exit(0));
    \`);
    const explorer = require('node:path').join(process.env.SystemRoot, 'explorer.exe');
    const desktop = spawn(explorer, ['/desktop=quarnelmodes,1024x768', process.execPath, script], { stdio: 'ignore' });
    await support.waitFor(() => fs.existsSync(output), 60000);
    // The desktop's explorer outlives the program it ran.
    desktop.kill();
    const steps = fs.existsSync(output) ? JSON.parse(fs.readFileSync(output, 'utf8')) : 'no result';
    [script, output].forEach((file) => fs.rmSync(file, { force: true }));
    return steps;
  `);
  assert.deepEqual(result, [
    [-1, '512,384', 'width:1024 height:768'], [-1, '100,100'],
    'changed 0',
    [-1, '400,300', 'width:800 height:600'], [-1, '700,500'],
  ]);
});
