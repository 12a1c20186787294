'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadTestAddon, startTarget, collectLogs, waitFor, sleep } = require('./support');

// Wine has no touch input: registering the window for touch fails, which is the path these
// tests can drive. The mapping of touch records is covered by the native tests.
const addon = loadTestAddon();
const logs = collectLogs(addon);
let target;

test.before(async () => {
  target = await startTarget([[500, 300, 240, 160]]);
});
test.after(async () => {
  await target.stop();
});

const recordsOf = (func) => logs.filter((r) => r.func === func);

test('over a target window the touch window thread reports the failed touch registration', async () => {
  const events = [];
  addon.test.hookTouchEvent(target.hwnds[0], (event) => events.push(event));
  const failed = await waitFor(() => logs.find(/^RegisterTouchWindow err:/)[0], 5000);
  assert.ok(failed, JSON.stringify(logs));
  assert.deepEqual(
    { func: failed.func, severity: failed.severity, content: failed.content },
    { func: 'WinTouchHookImpl::MessageLoop', severity: 3, content: 'RegisterTouchWindow err:120' },
  );
  await sleep(200);
  // No window came up, no touch was reported, and the target is untouched and alive.
  assert.deepEqual(logs.find(/^create windows cuccess/), []);
  assert.deepEqual(events, []);
  assert.equal(target.child.exitCode, null);
});

test('a handle that is no window is refused before any thread starts', async () => {
  const rows = [0, -1, 0x7ffffff0];
  for (const hwnd of rows) {
    addon.test.hookTouchEvent(hwnd, () => {});
  }
  await waitFor(() => recordsOf('WinTouchHookImpl::CreateProxyWindow').length >= rows.length, 3000);
  assert.deepEqual(
    recordsOf('WinTouchHookImpl::CreateProxyWindow').map((r) => [r.severity, r.content]),
    rows.map((hwnd) => [3, `invalid hWnd:${hwnd}`]),
  );
});

test('HookTouchEvent needs a window handle and a callback', () => {
  assert.throws(() => addon.test.hookTouchEvent(target.hwnds[0]), {
    name: 'TypeError',
    code: 'ARGUMENTS_LENGTH_ERROR',
  });
});
