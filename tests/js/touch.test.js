'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadTestAddon, startTarget, collectLogs, waitFor, sleep } = require('./support');

// Wine has no touch input: registering the window for touch fails, which is the path these
// tests can drive. The mapping of touch records is covered by the native tests.
const addon = loadTestAddon();
const logs = collectLogs(addon);

test('over a target window the touch window thread reports the failed touch registration', async (t) => {
  const target = await startTarget([[500, 300, 240, 160]]);
  t.after(() => target.stop());
  assert.throws(() => addon.test.hookTouchEvent(target.hwnds[0]), { name: 'TypeError', code: 'ARGUMENTS_LENGTH_ERROR' });
  const events = [];
  addon.test.hookTouchEvent(target.hwnds[0], (event) => events.push(event));
  assert.ok(await logs.appears(/^RegisterTouchWindow err:/), JSON.stringify(logs));
  await sleep(200);
  assert.deepEqual(logs.map((r) => [r.func, r.severity, r.content]),
    [['WinTouchHookImpl::MessageLoop', 3, 'RegisterTouchWindow err:120']]);
  // No touch was reported, and the target is untouched and alive.
  assert.deepEqual(events, []);
  assert.equal(target.child.exitCode, null);
});

test('a handle that is no window is refused before any thread starts', async () => {
  const rows = [0, -1, 0x7ffffff0];
  const refusals = logs.since('WinTouchHookImpl::CreateProxyWindow');
  for (const hwnd of rows) addon.test.hookTouchEvent(hwnd, () => {});
  assert.deepEqual(await refusals(true, rows.length), rows.map((hwnd) => [3, `invalid hWnd:${hwnd}`]));
});
