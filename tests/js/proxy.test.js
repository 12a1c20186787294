'use strict';
// Proxy windows over the target application's windows (another process): announcement,
// input forwarding, focus, close and close-all, resizing, and the process's end.
const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { load, startTarget, targetHelper, waitFor, sleep, collectLogs, runScript } = require('./support');

const quarnel = load();
const logs = collectLogs(quarnel);
const CLASS_NAME = /^TransparentWindow[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$/;

// Window A lies under the proxies; window B is elsewhere, so input forwarded to B arrives in
// coordinates no direct click could produce (and negative ones).
const A = [50, 50, 500, 400];
const B = [600, 50, 300, 300];
let target;
let parentA;
let parentB;

test.before(async () => {
  target = await startTarget([A, B]);
  [parentA, parentB] = target.hwnds;
});
test.after(async () => {
  quarnel.WndProxyCloseAllWindow(parentA);
  quarnel.WndProxyCloseAllWindow(parentB);
  await target.stop();
});

// Creates a proxy window and resolves with its handle and every creation payload it gets.
async function createProxy(parent, x, y, w, h) {
  const payloads = [];
  quarnel.WndProxyCreateProxyWindow(parent, x, y, w, h, (payload) => payloads.push(payload));
  await waitFor(() => payloads.length > 0);
  assert.equal(payloads.length, 1, 'creation callback');
  return { hwnd: payloads[0].hwnd, payloads };
}

const logged = (pattern) => logs.filter((r) => pattern.test(r.content));
const waitForLog = (pattern) => waitFor(() => logged(pattern).length > 0);
const ended = (hwnd) => waitForLog(new RegExp(`^end message loop childHWnd:${hwnd}$`));

async function closeProxy(hwnd) {
  quarnel.WndProxyCloseWindow(hwnd);
  assert.ok(await ended(hwnd), `proxy ${hwnd} did not end`);
}

test('a proxy window is made as asked, announced once and listed before it is announced', async () => {
  const proxy = await createProxy(parentA, 100, 200, 300, 100);
  await sleep(200);
  assert.deepEqual(proxy.payloads, [{ hwnd: proxy.hwnd }]);
  const created = logged(new RegExp(`^create windows cuccess hwnd:${proxy.hwnd} `));
  assert.equal(created.length, 1);
  assert.equal(created[0].content,
    `create windows cuccess hwnd:${proxy.hwnd} parentHWnd:${parentA} x:100 y:200 width:300 height:100`);
  assert.equal(created[0].func, 'WndProxyImpl::MessageLoop');
  assert.equal(targetHelper('--query-rect', proxy.hwnd), '100,200,300,100');
  assert.equal(Number(targetHelper('--query-exstyle', proxy.hwnd)), 0x00080080);
  const [className, title] = targetHelper('--query-class', proxy.hwnd).split('|');
  assert.match(className, CLASS_NAME);
  assert.equal(title, className);
  // Listed: the frame display, which walks the table, finds it.
  quarnel.WndProxyShowFrame();
  assert.ok(await waitForLog(new RegExp(`^create follow frame window cuccess hwnd:\\d+ followHWnd:${proxy.hwnd} `)));
  quarnel.WndProxyHideFrame();
  await closeProxy(proxy.hwnd);
});

test('mouse input over a proxy reaches its parent in client coordinates, wParam unchanged', async () => {
  // Screen points on multiples of 15 (x) and 135 (y) survive InputMouseMove's scaling onto the
  // normalised desktop exactly on a 1920 x 1080 screen.
  const rows = [
    { name: 'left click, the worked example', parent: 'A', at: [110, 220], place: 'cursor', act: 'left',
      expect: [['WM_LBUTTONDOWN', 1, 60, 170], ['WM_LBUTTONUP', 0, 60, 170]] },
    { name: 'left click moved there by InputMouseMove', parent: 'B', at: [165, 270], place: 'move', act: 'left',
      expect: [['WM_LBUTTONDOWN', 1, -435, 220], ['WM_LBUTTONUP', 0, -435, 220]] },
    { name: 'right click', parent: 'B', at: [375, 270], place: 'move', act: 'right',
      expect: [['WM_RBUTTONDOWN', 2, -225, 220], ['WM_RBUTTONUP', 0, -225, 220]] },
    // Moves also come from windows appearing under the cursor: only this one must be there.
    { name: 'move', parent: 'B', at: [120, 270], place: 'move', act: 'none', among: true,
      expect: [['WM_MOUSEMOVE', 0, -480, 220]] },
  ];
  for (const row of rows) {
    const parent = row.parent === 'A' ? parentA : parentB;
    const proxy = await createProxy(parent, 100, 200, 300, 100);
    target.clearLog();
    if (row.place === 'cursor') targetHelper('--cursor', row.at.join(','));
    else assert.equal(quarnel.InputMouseMove(...row.at), -1);
    assert.equal(targetHelper('--query-cursor'), row.at.join(','), row.name);
    if (row.act === 'left') quarnel.InputMouseLeftClick();
    if (row.act === 'right') quarnel.InputMouseRightClick();
    const [lastName, , lastX, lastY] = row.expect[row.expect.length - 1];
    await target.waitForMessage(lastName, (m) => m.x === lastX && m.y === lastY);
    await sleep(100);
    const names = new Set(row.expect.map((e) => e[0]));
    const got = target.messages().filter((m) => names.has(m.name)).map((m) => [m.name, m.wParam, m.x, m.y, m.hwnd]);
    const expected = row.expect.map((e) => [...e, parent]);
    if (row.among) {
      assert.deepEqual(got.filter((m) => m[2] === lastX && m[3] === lastY), expected, row.name);
    } else {
      assert.deepEqual(got, expected, row.name);
    }
    await closeProxy(proxy.hwnd);
  }
});

test('a wheel turn over a proxy is not forwarded', async () => {
  const proxy = await createProxy(parentB, 100, 200, 300, 100);
  assert.equal(targetHelper('--focus', proxy.hwnd), '1');
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
    .filter((m) => (m.lParam & 0xffff) === (-490 & 0xffff) && (m.lParam >>> 16) === 170);
  assert.deepEqual(forwarded, []);
  await closeProxy(proxy.hwnd);
});

test('focus and blur of a proxy reach their callbacks with its handle', async () => {
  const focus = [];
  const blur = [];
  quarnel.WndProxySetFocusCB((payload) => focus.push(payload));
  quarnel.WndProxySetBlurCB((payload) => blur.push(payload));
  const proxy = await createProxy(parentA, 100, 200, 300, 100);
  assert.equal(targetHelper('--focus', proxy.hwnd), '1');
  await waitFor(() => focus.length > 0);
  assert.deepEqual(blur, []);
  assert.equal(targetHelper('--focus', parentA), '1');
  await waitFor(() => blur.length > 0);
  await sleep(100);
  assert.deepEqual(focus, [{ hwnd: proxy.hwnd }]);
  assert.deepEqual(blur, [{ hwnd: proxy.hwnd }]);
  await closeProxy(proxy.hwnd);
});

test('closing a proxy reports its end once and unlists it', async () => {
  const closed = [];
  quarnel.WndProxySetWindowCloseCB((payload) => closed.push(payload));
  const proxy = await createProxy(parentA, 100, 200, 300, 100);
  quarnel.WndProxyCloseWindow(proxy.hwnd);
  await waitFor(() => closed.length > 0);
  assert.ok(await ended(proxy.hwnd));
  await sleep(150);
  assert.deepEqual(closed, [{ hwnd: proxy.hwnd }]);
  const posted = logged(new RegExp(`^PostMessage WM_CLOSE success childHWnd:${proxy.hwnd}$`));
  assert.deepEqual(posted.map((r) => r.func), ['WndProxyImpl::CloseWindow']);
  assert.equal(targetHelper('--query-rect', proxy.hwnd), '0,0,0,0');
  // Closing it again: the handle is no window any more.
  quarnel.WndProxyCloseWindow(proxy.hwnd);
  assert.ok(await waitForLog(new RegExp(`^PostMessage WM_CLOSE err:\\d+ childHWnd:${proxy.hwnd}$`)));
  await sleep(100);
  assert.equal(closed.length, 1);
});

test('closing all proxies of a parent leaves the others, clears the callbacks and reports nothing', async () => {
  const closed = [];
  const focus = [];
  quarnel.WndProxySetWindowCloseCB((payload) => closed.push(payload));
  quarnel.WndProxySetFocusCB((payload) => focus.push(payload));
  const first = await createProxy(parentA, 100, 200, 100, 50);
  const second = await createProxy(parentA, 220, 200, 100, 50);
  const other = await createProxy(parentB, 340, 200, 100, 50);
  quarnel.WndProxyCloseAllWindow(parentA);
  assert.ok(await waitForLog(new RegExp(`^close all child window by parentHWnd:${parentA}$`)));
  assert.ok(await ended(first.hwnd));
  assert.ok(await ended(second.hwnd));
  await sleep(150);
  assert.deepEqual(closed, []);
  assert.equal(targetHelper('--query-rect', other.hwnd), '340,200,100,50');
  // The focus callback was cleared too.
  assert.equal(targetHelper('--focus', other.hwnd), '1');
  await sleep(200);
  assert.deepEqual(focus, []);
  await closeProxy(other.hwnd);
  await sleep(100);
  assert.deepEqual(closed, []);
});

test('an invalid parent is logged and never called back; too few arguments throw', async () => {
  const calls = [];
  for (const parent of [0, 0x7ffffff0]) {
    quarnel.WndProxyCreateProxyWindow(parent, 100, 200, 300, 100, (payload) => calls.push(payload));
    const pattern = new RegExp(`^invalid parentHWnd:${parent}$`);
    await waitForLog(pattern);
    const records = logged(pattern);
    assert.equal(records.length, 1, String(parent));
    assert.equal(records[0].severity, 3);
    assert.equal(records[0].func, 'WndProxyImpl::CreateProxyWindow');
  }
  assert.throws(() => quarnel.WndProxyCreateProxyWindow(parentA, 100, 200, 300, 100),
    { name: 'TypeError', code: 'ARGUMENTS_LENGTH_ERROR', message: 'Wrong number of arguments' });
  await sleep(300);
  assert.deepEqual(calls, []);
});

test('two proxies made at the same time get different classes', async () => {
  const payloads = [];
  quarnel.WndProxyCreateProxyWindow(parentA, 100, 200, 100, 50, (p) => payloads.push(p));
  quarnel.WndProxyCreateProxyWindow(parentA, 220, 200, 100, 50, (p) => payloads.push(p));
  await waitFor(() => payloads.length === 2);
  const classes = payloads.map((p) => targetHelper('--query-class', p.hwnd).split('|')[0]);
  assert.match(classes[0], CLASS_NAME);
  assert.match(classes[1], CLASS_NAME);
  assert.notEqual(classes[0], classes[1]);
  for (const p of payloads) await closeProxy(p.hwnd);
});

test('resizing answers the number 1 or 0', async () => {
  const proxy = await createProxy(parentA, 100, 200, 300, 100);
  assert.equal(quarnel.WndProxyResizeWindow(proxy.hwnd, 120, 210, 200, 80), 1);
  assert.equal(targetHelper('--query-rect', proxy.hwnd), '120,210,200,80');
  assert.ok(await waitForLog(new RegExp(`^MoveWindow hWnd:${proxy.hwnd} x:120 y:210 width:200 height:80$`)));
  await closeProxy(proxy.hwnd);
  assert.equal(quarnel.WndProxyResizeWindow(proxy.hwnd, 0, 0, 10, 10), 0);
  assert.ok(await waitForLog(new RegExp(`^MoveWindow err:\\d+ hWnd:${proxy.hwnd} x:0 y:0 width:10 height:10$`)));
});

// ---- the process's end ----

const support = JSON.stringify(path.join(__dirname, 'support.js'));

test('200 proxies made and closed, and frames shown and hidden, leave no thread behind', async () => {
  const result = await runScript(`
    const { load, startTarget, targetHelper, waitFor } = require(${support});
    const quarnel = load();
    const records = [];
    quarnel.SetLogCallBack((r) => records.push(r.func + ' ' + r.content));
    const count = (prefix) => records.filter((c) => c.startsWith(prefix)).length;
    const threads = () => Number(targetHelper('--query-threads', process.pid));
    const cycle = async (parent) => {
      const created = [];
      const closed = [];
      quarnel.WndProxySetWindowCloseCB((p) => closed.push(p));
      quarnel.WndProxyCreateProxyWindow(parent, 100, 200, 50, 50, (p) => created.push(p));
      await waitFor(() => created.length === 1);
      quarnel.WndProxyCloseWindow(created[0].hwnd);
      await waitFor(() => closed.length === 1);
      return created[0].hwnd > 0 && closed[0].hwnd === created[0].hwnd;
    };
    (async () => {
      const target = await startTarget([[50, 50, 300, 300]]);
      await cycle(target.hwnds[0]);
      const before = threads();
      let ok = 0;
      for (let i = 0; i < 200; i++) ok += (await cycle(target.hwnds[0])) ? 1 : 0;
      let after = 0;
      await waitFor(() => (after = threads()) <= before, 5000);
      // Frames over one proxy, each on a thread of its own while it shows.
      const created = [];
      quarnel.WndProxyCreateProxyWindow(target.hwnds[0], 100, 200, 50, 50, (p) => created.push(p));
      await waitFor(() => created.length === 1);
      for (let i = 1; i <= 20; i++) {
        quarnel.WndProxyShowFrame();
        await waitFor(() => count('WndFrameImpl::MessageLoop create follow frame window cuccess') === i);
        quarnel.WndProxyHideFrame();
        await waitFor(() => count('WndFrameImpl::CloseWindow PostMessage WM_CLOSE success') === i);
      }
      quarnel.WndProxyCloseWindow(created[0].hwnd);
      let afterFrames = 0;
      await waitFor(() => (afterFrames = threads()) <= before, 5000);
      console.log(JSON.stringify({ ok, before, after, afterFrames, frames: count('WndFrameImpl::MessageLoop create follow frame window cuccess') }));
      await target.stop();
      process.exit(0);
    })();
  `, { timeoutMs: 90000 });
  assert.equal(result.timedOut, false, result.output);
  const summary = JSON.parse(result.output.trim().split(/\r?\n/).pop());
  assert.equal(summary.ok, 200);
  assert.ok(summary.before > 0);
  assert.equal(summary.after, summary.before, result.output);
  assert.equal(summary.frames, 20);
  assert.equal(summary.afterFrames, summary.before, result.output);
});

test('the process ends cleanly with proxies and frames open', async () => {
  const runs = Number(process.env.QUARNEL_EXIT_RUNS || 20);
  const script = (exit) => `
    const { load, startTarget, waitFor } = require(${support});
    const quarnel = load();
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
      ${exit}
    })();
  `;
  // Half the runs leave by process.exit, half by running out of work.
  for (let i = 0; i < runs; i++) {
    const exit = i % 2 ? 'setTimeout(() => process.exit(0), 50);' : '';
    const result = await runScript(script(exit), { timeoutMs: 20000 });
    assert.equal(result.timedOut, false, `run ${i} hung: ${result.output}`);
    assert.equal(result.code, 0, `run ${i}: ${result.output}`);
  }
});
