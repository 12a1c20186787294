'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadTestAddon, targetFor, collectLogs, targetHelper, sleep } = require('./support');

// Touch cannot be injected under Wine, so these tests drive the window's registration; the
// mapping of touch records is covered by the native tests. Wine 8 refuses the registration
// (error 120, not implemented); Wine 10 accepts it, as Windows does.
const addon = loadTestAddon();
const logs = collectLogs(addon);
const wine = targetHelper('--query-wine');
const refusesTouch = /^[1-8]\./.test(wine);

test(`over a target window the touch window thread registers for touch, or reports the refusal (Wine ${wine})`, async (t) => {
  const target = await targetFor(t, [[500, 300, 240, 160]]);
  assert.throws(() => addon.test.hookTouchEvent(target.hwnds[0]), { name: 'TypeError', code: 'ARGUMENTS_LENGTH_ERROR' });
  const events = [];
  addon.test.hookTouchEvent(target.hwnds[0], (event) => events.push(event));
  const ending = refusesTouch ? /^RegisterTouchWindow err:/ : /^create windows cuccess/;
  assert.ok(await logs.appears(ending), JSON.stringify(logs));
  await sleep(200);
  const records = logs.map((r) => [r.func, r.severity, r.content]);
  if (refusesTouch) {
    assert.deepEqual(records, [['WinTouchHookImpl::MessageLoop', 3, 'RegisterTouchWindow err:120']]);
  } else {
    // The touch window covers its target exactly, owned by it. (Wine 10's IsTouchWindow answers
    // 0 even for a window it has just registered, so the record is the witness.)
    const [, hwnd, parent] = /^create windows cuccess hwnd:(0x[0-9a-f]+) parentHWnd:(0x[0-9a-f]+) x:500 y:300 width:240 height:160$/
      .exec(records.at(-1)[2]) || assert.fail(JSON.stringify(records));
    assert.deepEqual([records.length, Number(parent), targetHelper('--query-rect', Number(hwnd)), Number(targetHelper('--query-owner', Number(hwnd)))],
      [1, target.hwnds[0], '500,300,240,160', target.hwnds[0]]);
  }
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
