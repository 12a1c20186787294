'use strict';
// Proxy windows over the target application's windows (another process): frames around them,
// checked on the screen itself (the target application reads screen pixels the way a screenshot
// would), announcement, input forwarding, focus, close and close-all, resizing, and threads.
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, startTarget, targetHelper, waitFor, sleep, collectLogs, childResult } = require('./support');

const quarnel = load();
const logs = collectLogs(quarnel);
const CLASS_NAME = /^TransparentWindow[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$/;

// Window A lies under the proxies; window B is elsewhere, so input forwarded to B arrives in
// coordinates no direct click could produce (and negative ones).
const GREEN = '0,230,0';
let target;
let parentA;
let parentB;
test.before(async () => {
  target = await startTarget([[50, 50, 500, 400], [600, 50, 300, 300]]);
  [parentA, parentB] = target.hwnds;
});
test.after(async () => {
  quarnel.WndProxyHideFrame();
  quarnel.WndProxyCloseAllWindow(parentA);
  quarnel.WndProxyCloseAllWindow(parentB);
  await target.stop();
});

// Asks for proxies ([parent, x, y, w, h] each) all at once; resolves with their handles once
// each was announced, with every payload each one got so far.
async function createProxies(...rows) {
  const payloads = rows.map(() => []);
  rows.forEach((row, i) => quarnel.WndProxyCreateProxyWindow(...row, (payload) => payloads[i].push(payload)));
  await waitFor(() => payloads.every((p) => p.length > 0));
  return { hwnds: payloads.map(([p]) => p.hwnd), payloads };
}
const createProxy = async (...row) => (await createProxies(row)).hwnds[0];
const ended = (hwnd) => logs.appears(new RegExp(`^end message loop childHWnd:${hwnd}$`));
async function closeProxy(hwnd) {
  quarnel.WndProxyCloseWindow(hwnd);
  assert.ok(await ended(hwnd), `proxy ${hwnd} did not end`);
}

const pixels = (points) => targetHelper('--screen-pixels', points.map((p) => p.join(',')).join(';')).split(/\r?\n/);
const frameLogs = () => logs.filter((r) => r.func.startsWith('WndFrameImpl::'));
const framesMade = () => logs.matching(/^create follow frame window cuccess /);
// This process's windows that take a second or more to answer an environment change, as the
// run-mode broadcast sends it: one that does not answer holds every broadcast for seconds.
const slowWindows = () => targetHelper('--slow-windows', '1000').split(/\r?\n/).filter((l) => l.split(' ')[1] === String(process.pid));
const framesClosed = () => logs.filter((r) => r.func === 'WndFrameImpl::CloseWindow' &&
  /^PostMessage WM_CLOSE success childHWnd:\d+$/.test(r.content));
// Records written on the JavaScript thread arrive through the event queue too: let every
// record of earlier steps arrive before starting afresh.
async function clearLogs() {
  await sleep(200);
  logs.length = 0;
}

test('no proxy windows: no frame', async () => {
  quarnel.WndProxyShowFrame();
  await sleep(300);
  assert.deepEqual(frameLogs(), []);
});

test('a frame outlines its proxy in green, lets clicks through and goes away when hidden', async () => {
  // Listed: the frame display, which walks the table of proxies, finds it.
  const proxy = await createProxy(parentB, 100, 200, 300, 100);
  // Corners and edge middles `d` pixels inside the proxy's rectangle (100, 200)-(399, 299): the
  // frame's outer two pixels are green, the inside next to them and the outside stay as they were.
  const edge = (d) => [[100 + d, 200 + d], [399 - d, 299 - d], [250, 200 + d], [250, 299 - d], [100 + d, 250], [399 - d, 250]];
  const [ring, inside, outside] = [[...edge(0), ...edge(1)], [...edge(2), [250, 250]], edge(-1)];
  await sleep(300);
  const before = pixels([...ring, ...inside, ...outside]);

  quarnel.WndProxyShowFrame();
  await waitFor(() => framesMade().length === 1);
  assert.equal(framesMade()[0].content.replace(/hwnd:\d+ /, 'hwnd:F '),
    `create follow frame window cuccess hwnd:F followHWnd:${proxy} x:100 y:200 width:300 height:100`);
  await waitFor(() => pixels(ring).every((p) => p === GREEN), 3000);
  assert.deepEqual(pixels([...ring, ...inside, ...outside]), [...ring.map(() => GREEN), ...before.slice(ring.length)]);

  // Clicks on the border pass the frame and reach the proxy beneath, which forwards them.
  target.clearLog();
  targetHelper('--cursor', '101,250');
  quarnel.InputMouseLeftClick();
  const up = await target.waitForMessage('WM_LBUTTONUP');
  assert.deepEqual([up?.hwnd, up?.x, up?.y], [parentB, 101 - 600, 250 - 50], target.dump());

  quarnel.WndProxyHideFrame();
  await waitFor(() => pixels(ring).every((p, i) => p === before[i]), 3000);
  assert.deepEqual(pixels(ring), before.slice(0, ring.length));
  await waitFor(() => framesClosed().length > 0);
  assert.equal(framesClosed().length, 1);

  // The table is empty now: a second hide only says so.
  await clearLogs();
  quarnel.WndProxyHideFrame();
  await sleep(200);
  assert.deepEqual(frameLogs().map((r) => [r.severity, r.func, r.content]),
    [[1, 'WndFrameImpl::CloseAllFrameWindow', 'close all frame window']]);
  await closeProxy(proxy);
});

test('frames outline where their proxy is now: shown right after a move, moved with it, closed with it', async () => {
  await clearLogs();
  const corners = (x, y) => [[x, y], [x + 99, y + 59]];
  const spots = [...corners(120, 250), ...corners(260, 270), ...corners(400, 320)];
  const before = pixels(spots);
  const proxy = await createProxy(parentB, 120, 250, 100, 60);
  // The move is still on its way to the proxy's thread when the frames are asked for.
  assert.equal(quarnel.WndProxyResizeWindow(proxy, 260, 270, 100, 60), 1);
  quarnel.WndProxyShowFrame();
  quarnel.WndProxyShowFrame();
  await waitFor(() => framesMade().length === 2);
  const green = (x, y) => waitFor(() => pixels(corners(x, y)).every((p) => p === GREEN), 3000);
  await green(260, 270);
  await sleep(200);
  assert.deepEqual(pixels(spots), [...before.slice(0, 2), GREEN, GREEN, ...before.slice(4)]);
  // Shown, then moved: the frames follow.
  assert.equal(quarnel.WndProxyResizeWindow(proxy, 400, 320, 100, 60), 1);
  await green(400, 320);
  await sleep(200);
  assert.deepEqual(pixels(spots), [...before.slice(0, 4), GREEN, GREEN]);
  await closeProxy(proxy);
  assert.ok(await waitFor(() => logs.matching(/^follow frame window closed with its followed window /).length === 2));
  await waitFor(() => pixels(spots).every((p, i) => p === before[i]), 3000);
  assert.deepEqual(pixels(spots), before);
  quarnel.WndProxyHideFrame();
});

test('hiding frames also cancels those still being made', async () => {
  await clearLogs();
  const rows = Array.from({ length: 5 }, (_, i) => [parentB, 100 + 60 * i, 320, 40, 40]);
  const { hwnds } = await createProxies(...rows);
  const corners = rows.map(([, x, y]) => [x, y]);
  const before = pixels(corners);
  // Ten frames take a while to be made; the hide comes right after they were asked for.
  quarnel.WndProxyShowFrame();
  quarnel.WndProxyShowFrame();
  quarnel.WndProxyHideFrame();
  await sleep(1500);
  // A frame made before the hide is closed by it; none is made after it.
  const closed = framesClosed().map((r) => r.content.split('childHWnd:')[1]);
  assert.deepEqual(framesMade().map((r) => /hwnd:(\d+) /.exec(r.content)[1]).filter((h) => !closed.includes(h)), []);
  assert.deepEqual(pixels(corners), before);
  for (const hwnd of hwnds) await closeProxy(hwnd);
});

test('a proxy larger than the desktop and its frame are cut to it, and never take the activation', async () => {
  await clearLogs();
  const { width, height } = quarnel.GetMainMonitorReslution();
  const proxy = await createProxy(parentB, -50, -50, 5000, 5000);
  // A pixel short of each edge it runs off, so that neither covers the whole display.
  const cut = `1,1,${width - 2},${height - 2}`;
  assert.equal(targetHelper('--query-rect', proxy), cut);
  const before = quarnel.GetCurrentForegroundWindow();
  quarnel.WndProxyShowFrame();
  await waitFor(() => framesMade().length === 1);
  assert.match(framesMade()[0].content, new RegExp(` followHWnd:${proxy} x:1 y:1 width:${width - 2} height:${height - 2}$`));
  await sleep(200);
  assert.equal(quarnel.GetCurrentForegroundWindow(), before);
  // Resized beyond the desktop again, it is cut the same way.
  assert.equal(quarnel.WndProxyResizeWindow(proxy, -10, -10, width + 20, height + 20), 1);
  assert.ok(await waitFor(() => targetHelper('--query-rect', proxy) === cut, 3000));
  await clearLogs();
  quarnel.WndProxyHideFrame();
  quarnel.WndProxyCloseWindow(proxy);
  // While they go away, their threads still answer: a window taken for a full-screen one held
  // every broadcast for 2 s under Wine while it was hidden or closed.
  assert.deepEqual(slowWindows(), []);
  await waitFor(() => framesClosed().length === 1);
  assert.ok(await ended(proxy));
});

test('proxies are made as asked, announced once, each with a class of its own, and resized', async () => {
  // Two asked for at the same time.
  const rects = [[100, 200, 300, 100], [420, 200, 100, 50]];
  const { hwnds, payloads } = await createProxies(...rects.map((r) => [parentA, ...r]));
  await sleep(200);
  assert.deepEqual(payloads, hwnds.map((hwnd) => [{ hwnd }]));
  const classes = [];
  for (const [i, hwnd] of hwnds.entries()) {
    const [x, y, w, h] = rects[i];
    assert.deepEqual(logs.matching(new RegExp(`^create windows cuccess hwnd:${hwnd} `)).map((r) => [r.func, r.content]), [
      ['WndProxyImpl::MessageLoop', `create windows cuccess hwnd:${hwnd} parentHWnd:${parentA} x:${x} y:${y} width:${w} height:${h}`],
    ]);
    assert.equal(targetHelper('--query-rect', hwnd), rects[i].join(','));
    assert.equal(Number(targetHelper('--query-exstyle', hwnd)), 0x00080080);
    const [className, title] = targetHelper('--query-class', hwnd).split('|');
    assert.match(className, CLASS_NAME);
    assert.equal(title, className);
    classes.push(className);
  }
  assert.notEqual(classes[0], classes[1]);

  const [proxy] = hwnds;
  // Moves are made on the proxy's own thread, and the last one asked for is where it ends: off
  // the desktop (the extremes the system clamps), then back.
  assert.equal(quarnel.WndProxyResizeWindow(proxy, -(2 ** 31), 2 ** 31 - 1, 50, 0), 1);
  assert.equal(quarnel.WndProxyResizeWindow(proxy, 120, 210, 200, 80), 1);
  assert.ok(await waitFor(() => targetHelper('--query-rect', proxy) === '120,210,200,80', 5000),
    targetHelper('--query-rect', proxy));
  assert.ok(await logs.appears(new RegExp(`^MoveWindow hWnd:${proxy} x:120 y:210 width:200 height:80$`)));
  for (const hwnd of hwnds) await closeProxy(hwnd);
});

test('mouse input over a proxy reaches its parent in client coordinates, wParam unchanged', async () => {
  // Screen points on multiples of 15 (x) and 135 (y) survive InputMouseMove's scaling onto the
  // normalised desktop exactly on a 1920 x 1080 screen.
  const rows = [
    // name, parent, point, placed by, click, [message, wParam, x, y]...
    ['left click, the worked example', 'A', [110, 220], 'cursor', 'Left',
      [['WM_LBUTTONDOWN', 1, 60, 170], ['WM_LBUTTONUP', 0, 60, 170]]],
    ['left click moved there by InputMouseMove', 'B', [165, 270], 'move', 'Left',
      [['WM_LBUTTONDOWN', 1, -435, 220], ['WM_LBUTTONUP', 0, -435, 220]]],
    ['right click', 'B', [375, 270], 'move', 'Right', [['WM_RBUTTONDOWN', 2, -225, 220], ['WM_RBUTTONUP', 0, -225, 220]]],
    // Moves also come from windows appearing under the cursor: only this one must be there.
    ['move', 'B', [120, 270], 'move', null, [['WM_MOUSEMOVE', 0, -480, 220]]],
  ];
  for (const [name, which, at, place, click, expect] of rows) {
    const parent = which === 'A' ? parentA : parentB;
    const proxy = await createProxy(parent, 100, 200, 300, 100);
    target.clearLog();
    if (place === 'cursor') targetHelper('--cursor', at.join(','));
    else assert.equal(quarnel.InputMouseMove(...at), -1);
    assert.equal(targetHelper('--query-cursor'), at.join(','), name);
    if (click) quarnel[`InputMouse${click}Click`]();
    const [lastName, , lastX, lastY] = expect.at(-1);
    await target.waitForMessage(lastName, (m) => m.x === lastX && m.y === lastY);
    await sleep(100);
    const got = target.messages().filter((m) => expect.some(([n]) => n === m.name))
      .filter((m) => click || (m.x === lastX && m.y === lastY))
      .map((m) => [m.name, m.wParam, m.x, m.y, m.hwnd]);
    assert.deepEqual(got, expect.map((e) => [...e, parent]), name);
    await closeProxy(proxy);
  }
});

test('a wheel turn over a proxy is not forwarded', async () => {
  const proxy = await createProxy(parentB, 100, 200, 300, 100);
  assert.equal(targetHelper('--focus', proxy), '1');
  targetHelper('--cursor', '110,220');
  await sleep(100);
  target.clearLog();
  targetHelper('--wheel', '120');
  // A click afterwards is forwarded, so the wheel turn had its chance to be forwarded first.
  quarnel.InputMouseLeftClick();
  assert.ok(await target.waitForMessage('WM_LBUTTONUP', (m) => m.x === -490 && m.y === 170));
  // Whatever the system itself hands on carries screen coordinates; a forwarded turn would
  // carry B's client coordinates (-490, 170).
  const forwarded = target.messages('WM_MOUSEWHEEL')
    .filter((m) => (m.lParam & 0xffff) === (-490 & 0xffff) && m.lParam >>> 16 === 170);
  assert.deepEqual(forwarded, []);
  await closeProxy(proxy);
});

test('focus and blur of a proxy reach their callbacks with its handle', async () => {
  const [focus, blur] = [[], []];
  quarnel.WndProxySetFocusCB((payload) => focus.push(payload));
  quarnel.WndProxySetBlurCB((payload) => blur.push(payload));
  const proxy = await createProxy(parentA, 100, 200, 300, 100);
  assert.equal(targetHelper('--focus', proxy), '1');
  await waitFor(() => focus.length > 0);
  assert.deepEqual(blur, []);
  assert.equal(targetHelper('--focus', parentA), '1');
  await waitFor(() => blur.length > 0);
  await sleep(100);
  assert.deepEqual([focus, blur], [[{ hwnd: proxy }], [{ hwnd: proxy }]]);
  await closeProxy(proxy);
});

test('closing a proxy reports its end once and unlists it; closing or resizing anything else is logged and leaves it alone', async () => {
  const closed = [];
  quarnel.WndProxySetWindowCloseCB((payload) => closed.push(payload));
  const proxy = await createProxy(parentA, 100, 200, 300, 100);
  await closeProxy(proxy);
  await waitFor(() => closed.length > 0);
  await sleep(150);
  assert.deepEqual(closed, [{ hwnd: proxy }]);
  const posted = logs.matching(new RegExp(`^PostMessage WM_CLOSE success childHWnd:${proxy}$`));
  assert.deepEqual(posted.map((r) => r.func), ['WndProxyImpl::CloseWindow']);
  assert.equal(targetHelper('--query-rect', proxy), '0,0,0,0');
  await clearLogs();
  // The parent itself, the two handles the system takes for "every top-level window", a
  // closed proxy and one that never was a window.
  const handles = [parentA, parentB, -1, 0xffff, proxy, 0, 0x7ffffff0];
  for (const hwnd of handles) quarnel.WndProxyCloseWindow(hwnd);
  await waitFor(() => logs.length >= handles.length);
  await sleep(300);
  assert.deepEqual(logs.map((r) => [r.severity, r.func, r.content]),
    handles.map((hwnd) => [2, 'WndProxyImpl::CloseProxyWindow', `not a proxy window childHWnd:${hwnd}`]));
  assert.deepEqual(target.lines().filter((l) => /^(WM_CLOSE|exit)/.test(l)), [], target.dump());
  await clearLogs();
  assert.deepEqual(handles.map((hwnd) => quarnel.WndProxyResizeWindow(hwnd, 10, 10, 80, 80)), handles.map(() => 0));
  await waitFor(() => logs.length >= handles.length);
  assert.deepEqual(logs.map((r) => [r.severity, r.func, r.content]),
    handles.map((hwnd) => [2, 'WndProxyImpl::ResizeProxyWindow', `not a proxy window hWnd:${hwnd}`]));
  assert.equal(targetHelper('--query-rect', parentA), '50,50,500,400');
  assert.equal(closed.length, 1);
});

test('with 20 proxies and their frames alive, every window answers the run-mode broadcast', async () => {
  const { hwnds } = await createProxies(
    ...Array.from({ length: 20 }, (_, i) => [i % 2 ? parentB : parentA, 60 + (i % 10) * 40, 60 + i * 10, 30, 30]));
  await clearLogs();
  quarnel.WndProxyShowFrame();
  await waitFor(() => framesMade().length === 20);
  assert.deepEqual(slowWindows(), []);
  quarnel.WndProxyHideFrame();
  for (const hwnd of hwnds) quarnel.WndProxyCloseWindow(hwnd);
  await Promise.all(hwnds.map(ended));
});

test('closing all proxies of a parent leaves the others, clears the callbacks and reports nothing', async () => {
  const [closed, focus] = [[], []];
  quarnel.WndProxySetWindowCloseCB((payload) => closed.push(payload));
  quarnel.WndProxySetFocusCB((payload) => focus.push(payload));
  const { hwnds: [first, second, other] } = await createProxies(
    [parentA, 100, 200, 100, 50], [parentA, 220, 200, 100, 50], [parentB, 340, 200, 100, 50]);
  quarnel.WndProxyCloseAllWindow(parentA);
  assert.ok(await logs.appears(new RegExp(`^close all child window by parentHWnd:${parentA}$`)));
  assert.ok((await ended(first)) && (await ended(second)));
  assert.equal(targetHelper('--query-rect', other), '340,200,100,50');
  // The focus and close callbacks were cleared too.
  assert.equal(targetHelper('--focus', other), '1');
  await sleep(200);
  await closeProxy(other);
  await sleep(100);
  assert.deepEqual([closed, focus], [[], []]);
});

test('closing all proxies of a parent, in a loop, also closes those still being made, and reports no close', { timeout: 120000 }, async () => {
  const [closed, announced] = [[], []];
  for (let round = 0; round < 40; round++) {
    quarnel.WndProxySetWindowCloseCB((payload) => closed.push(payload));
    if (round % 2) await createProxies([parentA, 100, 200, 40, 40], [parentA, 150, 200, 40, 40]);
    // Asked for right before the close-all: none of them is listed yet.
    for (let i = 0; i < 5; i++) quarnel.WndProxyCreateProxyWindow(parentA, 100 + 50 * i, 260, 40, 40, ({ hwnd }) => announced.push(hwnd));
    quarnel.WndProxyCloseAllWindow(parentA);
    // Paced, so that the event queue (with the log records) never overflows.
    await waitFor(() => announced.length === 5 * (round + 1));
  }
  assert.equal(announced.length, 200);
  await sleep(500);
  const made = announced.filter((h) => h !== 0xffffffff);
  assert.ok(made.length > 0);
  assert.deepEqual([targetHelper('--query-windows', made.join(',')), closed], ['', []]);
});

test('a proxy goes with its parent, whatever ends it: its close is reported and nothing is forwarded any more', async () => {
  const other = await startTarget([[80, 420, 300, 120]]);
  const [parent] = other.hwnds;
  const closed = [];
  quarnel.WndProxySetWindowCloseCB((payload) => closed.push(payload));
  const { hwnds } = await createProxies([parent, 100, 440, 60, 60], [parent, 200, 440, 60, 60]);
  quarnel.WndProxyShowFrame();
  await waitFor(() => framesMade().length >= 2);
  await clearLogs();
  await other.stop();  // the target is killed: nothing of it says goodbye
  assert.ok(await waitFor(() => closed.length === 2, 3000), `closes: ${JSON.stringify(closed)}`);
  assert.deepEqual(closed.map((p) => p.hwnd).sort(), [...hwnds].sort());
  for (let x = 100; x < 260; x += 8) quarnel.InputMouseMove(x, 470);
  await sleep(300);
  assert.deepEqual([targetHelper('--query-windows', hwnds.join(',')), logs.filter((r) => r.severity === 3)], ['', []]);
  quarnel.WndProxyHideFrame();
});

test('an invalid parent is logged and never called back', async () => {
  const calls = [];
  for (const parent of [0, 0x7ffffff0]) {
    quarnel.WndProxyCreateProxyWindow(parent, 100, 200, 300, 100, (payload) => calls.push(payload));
    const pattern = new RegExp(`^invalid parentHWnd:${parent}$`);
    await logs.appears(pattern);
    assert.deepEqual(logs.matching(pattern).map((r) => [r.severity, r.func]), [[3, 'WndProxyImpl::CreateProxyWindow']]);
  }
  await sleep(300);
  assert.deepEqual(calls, []);
});

// ---- the process's end ----

test('200 proxies made and closed, and frames shown and hidden over 20 of them, leave no thread behind', async () => {
  const summary = await childResult(`
    const { startTarget, targetHelper, waitFor } = support;
    const logs = support.collectLogs(quarnel);
    const count = (pattern) => logs.matching(pattern).length;
    const threads = () => Number(targetHelper('--query-threads', process.pid));
    const target = await startTarget([[50, 50, 300, 300]]);
    // A frame shows on a thread of its own.
    const cycle = async (frame) => {
      const [created, closed] = [[], []];
      quarnel.WndProxySetWindowCloseCB((p) => closed.push(p));
      quarnel.WndProxyCreateProxyWindow(target.hwnds[0], 100, 200, 50, 50, (p) => created.push(p));
      await waitFor(() => created.length === 1);
      if (frame) {
        quarnel.WndProxyShowFrame();
        await waitFor(() => count(/^create follow frame window cuccess /) === frame);
        quarnel.WndProxyHideFrame();
        await waitFor(() => logs.filter((r) => r.func === 'WndFrameImpl::CloseWindow' && /^PostMessage WM_CLOSE success/.test(r.content)).length === frame);
      }
      quarnel.WndProxyCloseWindow(created[0].hwnd);
      await waitFor(() => closed.length === 1);
      return created[0].hwnd > 0 && closed[0].hwnd === created[0].hwnd;
    };
    await cycle(0);
    const before = threads();
    let ok = 0;
    for (let i = 0; i < 200; i++) ok += (await cycle(i < 20 ? i + 1 : 0)) ? 1 : 0;
    let after = 0;
    await waitFor(() => (after = threads()) <= before, 5000);
    await target.stop();
    out({ ok, before, after, frames: count(/^create follow frame window cuccess /) });
    process.exit(0);
  `, { timeoutMs: 90000 });
  assert.ok(summary.before > 0);
  assert.deepEqual(summary, { ok: 200, before: summary.before, after: summary.before, frames: 20 });
});
