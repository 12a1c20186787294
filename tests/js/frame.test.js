'use strict';
// Frame windows over proxy windows, checked on the screen itself: the target application
// reads screen pixels the way a screenshot would.
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, startTarget, targetHelper, waitFor, sleep, collectLogs } = require('./support');

const quarnel = load();
const logs = collectLogs(quarnel);
const GREEN = '0,230,0';

let target;
let parentA;
let parentB;
test.before(async () => {
  // A lies under the proxy; the proxy's parent is B, elsewhere, so a click forwarded through
  // the proxy is told apart from one that reached A directly.
  target = await startTarget([[50, 50, 500, 400], [600, 50, 300, 300]]);
  [parentA, parentB] = target.hwnds;
});
test.after(async () => {
  quarnel.WndProxyHideFrame();
  quarnel.WndProxyCloseAllWindow(parentB);
  await target.stop();
});

const pixels = (points) => targetHelper('--screen-pixels', points.map((p) => p.join(',')).join(';')).split(/\r?\n/);
const frameLogs = () => logs.filter((r) => r.func.startsWith('WndFrameImpl::'));
const framesMade = () => logs.matching(/^create follow frame window cuccess /);
const framesClosed = () => logs.filter((r) => r.func === 'WndFrameImpl::CloseWindow' &&
  /^PostMessage WM_CLOSE success childHWnd:\d+$/.test(r.content));
// Records written on the JavaScript thread arrive through the event queue too: let every
// record of earlier steps arrive before starting afresh.
async function clearLogs() {
  await sleep(200);
  logs.length = 0;
}
async function createProxy(parent, x, y, w, h) {
  const payloads = [];
  quarnel.WndProxyCreateProxyWindow(parent, x, y, w, h, (payload) => payloads.push(payload));
  await waitFor(() => payloads.length > 0);
  return payloads[0].hwnd;
}

test('no proxy windows: no frame', async () => {
  quarnel.WndProxyShowFrame();
  await sleep(300);
  assert.deepEqual(frameLogs(), []);
});

test('a frame outlines its proxy in green, lets clicks through and goes away when hidden', async () => {
  const proxy = await createProxy(parentB, 100, 200, 300, 100);
  // The frame's outer two pixels, the inside next to them, and the outside next to those.
  const ring = [[100, 200], [101, 201], [399, 299], [398, 298], [250, 200], [250, 201], [100, 250],
    [101, 250], [399, 250], [398, 250], [250, 299], [250, 298]];
  const inside = [[102, 202], [397, 297], [250, 250], [102, 250], [250, 202]];
  const outside = [[99, 199], [400, 300], [250, 199], [250, 300], [99, 250], [400, 250]];
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
  assert.deepEqual([up.hwnd, up.x, up.y], [parentB, 101 - 600, 250 - 50]);

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
  quarnel.WndProxyCloseWindow(proxy);
});

test('a frame stays where it was made; showing twice makes two', async () => {
  await clearLogs();
  const proxy = await createProxy(parentB, 150, 250, 100, 60);
  quarnel.WndProxyShowFrame();
  quarnel.WndProxyShowFrame();
  await waitFor(() => framesMade().length === 2);
  assert.equal(quarnel.WndProxyResizeWindow(proxy, 300, 300, 100, 60), 1);
  await sleep(300);
  assert.deepEqual(pixels([[150, 250], [249, 309]]), [GREEN, GREEN]);
  await clearLogs();
  quarnel.WndProxyHideFrame();
  await waitFor(() => framesClosed().length >= 2);
  await sleep(100);
  assert.equal(framesClosed().length, 2);
  quarnel.WndProxyCloseWindow(proxy);
});
