'use strict';
// Proxy windows over the target application's windows (another process): announcement,
// input forwarding, focus, close and close-all, resizing, and the process's end.
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, startTarget, targetHelper, waitFor, sleep, collectLogs, childResult, assertCleanExits } = require('./support');

const quarnel = load();
const logs = collectLogs(quarnel);
const CLASS_NAME = /^TransparentWindow[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$/;

// Window A lies under the proxies; window B is elsewhere, so input forwarded to B arrives in
// coordinates no direct click could produce (and negative ones).
let target;
let parentA;
let parentB;
test.before(async () => {
  target = await startTarget([[50, 50, 500, 400], [600, 50, 300, 300]]);
  [parentA, parentB] = target.hwnds;
});
test.after(async () => {
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

test('proxies are made as asked, announced once, listed, each with a class of its own, and resized', async () => {
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
  // Listed: the frame display, which walks the table, finds it.
  quarnel.WndProxyShowFrame();
  assert.ok(await logs.appears(new RegExp(`^create follow frame window cuccess hwnd:\\d+ followHWnd:${hwnds[0]} `)));
  quarnel.WndProxyHideFrame();

  // Resizing answers the number 1, or 0 once the proxy is gone.
  const [proxy] = hwnds;
  assert.equal(quarnel.WndProxyResizeWindow(proxy, 120, 210, 200, 80), 1);
  assert.equal(targetHelper('--query-rect', proxy), '120,210,200,80');
  assert.ok(await logs.appears(new RegExp(`^MoveWindow hWnd:${proxy} x:120 y:210 width:200 height:80$`)));
  for (const hwnd of hwnds) await closeProxy(hwnd);
  assert.equal(quarnel.WndProxyResizeWindow(proxy, 0, 0, 10, 10), 0);
  assert.ok(await logs.appears(new RegExp(`^MoveWindow err:\\d+ hWnd:${proxy} x:0 y:0 width:10 height:10$`)));
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

test('closing a proxy reports its end once and unlists it', async () => {
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
  // Closing it again: the handle is no window any more.
  quarnel.WndProxyCloseWindow(proxy);
  assert.ok(await logs.appears(new RegExp(`^PostMessage WM_CLOSE err:\\d+ childHWnd:${proxy}$`)));
  await sleep(100);
  assert.equal(closed.length, 1);
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

test('200 proxies made and closed, and frames shown and hidden, leave no thread behind', async () => {
  const frames = 'WndFrameImpl::MessageLoop create follow frame window cuccess';
  const summary = await childResult(`
    const { startTarget, targetHelper, waitFor } = support;
    const records = [];
    quarnel.SetLogCallBack((r) => records.push(r.func + ' ' + r.content));
    const count = (prefix) => records.filter((c) => c.startsWith(prefix)).length;
    const threads = () => Number(targetHelper('--query-threads', process.pid));
    const create = async (parent) => {
      const created = [];
      quarnel.WndProxyCreateProxyWindow(parent, 100, 200, 50, 50, (p) => created.push(p));
      await waitFor(() => created.length === 1);
      return created[0].hwnd;
    };
    const cycle = async (parent) => {
      const closed = [];
      quarnel.WndProxySetWindowCloseCB((p) => closed.push(p));
      const hwnd = await create(parent);
      quarnel.WndProxyCloseWindow(hwnd);
      await waitFor(() => closed.length === 1);
      return hwnd > 0 && closed[0].hwnd === hwnd;
    };
    const target = await startTarget([[50, 50, 300, 300]]);
    await cycle(target.hwnds[0]);
    const before = threads();
    let ok = 0;
    for (let i = 0; i < 200; i++) ok += (await cycle(target.hwnds[0])) ? 1 : 0;
    let after = 0;
    await waitFor(() => (after = threads()) <= before, 5000);
    // Frames over one proxy, each on a thread of its own while it shows.
    const proxy = await create(target.hwnds[0]);
    for (let i = 1; i <= 20; i++) {
      quarnel.WndProxyShowFrame();
      await waitFor(() => count(${JSON.stringify(frames)}) === i);
      quarnel.WndProxyHideFrame();
      await waitFor(() => count('WndFrameImpl::CloseWindow PostMessage WM_CLOSE success') === i);
    }
    quarnel.WndProxyCloseWindow(proxy);
    let afterFrames = 0;
    await waitFor(() => (afterFrames = threads()) <= before, 5000);
    await target.stop();
    out({ ok, before, after, afterFrames, frames: count(${JSON.stringify(frames)}) });
    process.exit(0);
  `, { timeoutMs: 90000 });
  assert.ok(summary.before > 0);
  assert.deepEqual(summary, { ok: 200, before: summary.before, after: summary.before, afterFrames: summary.before, frames: 20 });
});

test('the process ends cleanly with proxies and frames open', async () => {
  // Half the runs leave by process.exit, half by running out of work.
  const scripts = Array.from({ length: Number(process.env.QUARNEL_EXIT_RUNS || 20) }, (_, i) => `
    const quarnel = require(process.env.QUARNEL_MODULE);
    const { startTarget, waitFor } = require(${JSON.stringify(require.resolve('./support'))});
    (async () => {
      // The target outlives this process a little and then ends by itself.
      const target = await startTarget([[50, 50, 300, 300]], ['--exit-after', '4000']);
      const created = [];
      quarnel.WndProxySetFocusCB(() => {});
      quarnel.WndProxySetWindowCloseCB(() => {});
      for (let i = 0; i < 3; i++) {
        quarnel.WndProxyCreateProxyWindow(target.hwnds[0], 60 + 60 * i, 60, 50, 50, (p) => created.push(p));
      }
      await waitFor(() => created.length === 3);
      quarnel.WndProxyShowFrame();
      target.child.unref();
      console.log('ending');
      ${i % 2 ? 'setTimeout(() => process.exit(0), 50);' : ''}
    })();
  `);
  await assertCleanExits(scripts, /ending/);
});
