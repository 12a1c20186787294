'use strict';
// The JavaScript helpers beside the raw exports, through the package loader.
const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { targetFor, targetHelper, repo, waitFor } = require('./support');

const helpers = require(path.join(repo, 'lib', 'helpers.js'));
const quarnel = require(repo);

test('handleFromBuffer reads the signed 32-bit handle of an Electron handle buffer; constants match the module', () => {
  // bytes, handle
  const rows = [[[0x34, 0x12, 0, 0, 0, 0, 0, 0], 0x1234], [[0xff, 0xff, 0xff, 0xff], -1], [[0, 0, 0, 0x80, 0, 0, 0, 0], -(2 ** 31)]];
  for (const [bytes, expected] of rows) assert.equal(helpers.handleFromBuffer(Buffer.from(bytes)), expected);
  for (const bad of [Buffer.from([1, 2]), 1234]) assert.throws(() => helpers.handleFromBuffer(bad), TypeError);
  assert.deepEqual([helpers.KEY_NAMES, helpers.SEVERITY, helpers.INVALID_HWND],
    [['left', 'up', 'right', 'down', 'pageUp', 'pageDown'], { INFO: 1, WARNING: 2, ERROR: 3 }, 2 ** 32 - 1]);
});

test('createProxyWindow resolves with a live proxy, rejects wrong arguments and a non-window at once and closes a late proxy', async (t) => {
  const target = await targetFor(t, [[60, 60, 400, 300]]);
  const parent = target.hwnds[0];
  const rect = { x: 100, y: 100, width: 120, height: 80 };
  const proxy = await helpers.createProxyWindow(parent, rect);
  assert.ok(Number.isInteger(proxy) && proxy > 0);
  assert.equal(quarnel.WndProxyResizeWindow(proxy, 110, 110, 100, 60), 1);
  quarnel.WndProxyCloseAllWindow(parent);

  // parent, rect, message; each rejected before any timer or module event could run
  const rows = [
    [NaN, rect, 'parent must be a non-zero window handle (an integer), got number NaN'],
    [0, rect, 'parent must be a non-zero window handle (an integer), got number 0'],
    [Buffer.alloc(8), rect, 'parent must be a non-zero window handle (an integer), got a Buffer (handleFromBuffer reads the handle from it)'],
    [parent, undefined, 'rect must be an object { x, y, width, height }, got undefined'],
    [parent, { ...rect, x: '100' }, 'rect.x must be a 32-bit integer, got string "100"'],
    [parent, { ...rect, height: 0 }, 'rect must have a positive width and height, got 120 x 0'],
  ];
  const rightNow = (promise) => Promise.race([promise.catch((e) => `${e.name}: ${e.message}`),
    new Promise((resolve) => setImmediate(() => resolve('still pending')))]);
  for (const [p, r, message] of rows) {
    assert.equal(await rightNow(helpers.createProxyWindow(p, r)), `TypeError: createProxyWindow: ${message}`);
  }
  assert.equal(await rightNow(helpers.createProxyWindow(0x7ffffff0, rect)),
    'Error: createProxyWindow: parent 2147483632 names no window');

  // The answer is held back behind a blocked loop until the time-out has fired: the proxy that
  // then arrives belongs to nobody and is closed.
  const closed = [];
  quarnel.WndProxySetWindowCloseCB(({ hwnd }) => closed.push(hwnd));
  const late = await new Promise((resolve) => setImmediate(() => {
    const promise = helpers.createProxyWindow(parent, rect, { timeoutMs: 1 });
    Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 500);
    resolve(promise.then(() => 'resolved', (e) => e.message));
  }));
  assert.equal(late, `no proxy window for parent ${parent} within 1 ms`);
  assert.ok(await waitFor(() => closed.length > 0, 3000));
  assert.equal(targetHelper('--query-rect', closed[0]), '0,0,0,0');
  assert.deepEqual(closed.length, 1);
});

test('focusWindow tells the truth 100 times of 100, whether the window can take the focus or not', { timeout: 240000 }, async (t) => {
  const target = await targetFor(t, [[60, 60, 200, 150], [300, 60, 200, 150], [540, 60, 200, 150]]);
  const [focusable, noActivate, other] = target.hwnds;
  quarnel.SetWindowFocusable(noActivate, false);
  const kinds = { focusable, noActivate, noWindow: 0x7ffffff0 };
  const [wrong, answers] = [[], {}];
  for (let i = 0; i < 100; i++) {
    const kind = i % 10 === 9 ? 'noWindow' : i % 2 ? 'noActivate' : 'focusable';
    const hwnd = kinds[kind];
    // Another window holds the foreground before every call; this process has no window.
    quarnel.SetWindowFocus(other);
    const reported = await helpers.focusWindow(hwnd);
    // Asked by another process once the answer is in.
    const truth = Number(targetHelper('--query-foreground')) === hwnd;
    if (reported !== truth) wrong.push({ i, kind, reported, truth });
    answers[`${kind} ${reported}`] = (answers[`${kind} ${reported}`] || 0) + 1;
  }
  assert.deepEqual(wrong, []);
  // Whether a window that takes no activation can be put in the foreground is the system's
  // call (Wine does it); the others have one true answer.
  assert.deepEqual([answers['focusable true'], answers['noWindow false']], [50, 10]);
  t.diagnostic(`no activation: ${answers['noActivate true'] || 0} of 40 in the foreground`);
  assert.equal(await helpers.focusWindow(0), false);
});
