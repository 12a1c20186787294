'use strict';
// A module instance loaded anew on the main thread takes the module over, as test runners
// (a reset module registry per test file) and reloaded renderers do; the old instance's hook,
// windows and callbacks are stopped first, and its exports are refused from then on.
const test = require('node:test');
const assert = require('node:assert/strict');
const { childResult } = require('./support');

test('after a registry reset and again from a vm context, the newest instance owns the module alone', { timeout: 90000 }, async () => {
  const result = await childResult(`
    const vm = require('node:vm');
    const file = process.env.QUARNEL_MODULE;
    const target = await support.startTarget([[40, 40, 400, 300]]);
    const got = { first: [], second: [], third: [], logs: [], closedOld: [] };
    const refused = (instance) => { try { return 'returned ' + instance.GetCurrentForegroundWindow(); } catch (e) { return e.code; } };
    const proxyOf = (instance) => new Promise((resolve) =>
      instance.WndProxyCreateProxyWindow(target.hwnds[0], 60, 60, 100, 80, ({ hwnd }) => resolve(hwnd)));
    const sendKey = async (code, list) => {
      support.targetHelper('--send-keys', code);
      await support.waitFor(() => list.length > 0, 3000);
      await sleep(200);
    };

    quarnel.HookKeyboardEvent((key) => got.first.push(key));
    quarnel.SetLogCallBack((record) => got.logs.push(record.content));
    quarnel.WndProxySetWindowCloseCB(({ hwnd }) => got.closedOld.push(hwnd));
    const firstProxy = await proxyOf(quarnel);

    delete require.cache[file];
    const second = require(file);
    second.HookKeyboardEvent((key) => got.second.push(key));
    const logsAtTakeOver = got.logs.length;
    second.SetWindowFocus(0); // logs "invalid hwnd", to the new instance's callback only
    await sendKey('0x25', got.second);
    // A close the new instance reports is not the old close callback's business.
    second.WndProxyCloseWindow(await proxyOf(second));
    await sleep(300);
    const secondProxy = await proxyOf(second);
    const afterReset = {
      old: refused(quarnel), firstProxy: support.targetHelper('--query-rect', firstProxy),
      secondProxyWidth: support.targetHelper('--query-rect', secondProxy).split(',')[2],
    };

    // Loaded from code running in a vm context, with no module registry at all.
    const third = vm.runInNewContext('const m = { exports: {} }; process.dlopen(m, file); m.exports', { process, file });
    third.HookKeyboardEvent((key) => got.third.push(key));
    await sendKey('0x22', got.third);
    const afterVm = { old: [refused(quarnel), refused(second)], secondProxy: support.targetHelper('--query-rect', secondProxy) };
    third.UnHookKeyboardEvent();
    target.stop();
    out({ afterReset, afterVm, keys: [got.first, got.second, got.third], oldLogs: got.logs.slice(logsAtTakeOver), closedOld: got.closedOld });
  `, { timeoutMs: 45000 });
  assert.deepEqual(result, {
    afterReset: { old: 'QUARNEL_MAIN_THREAD_ONLY', firstProxy: '0,0,0,0', secondProxyWidth: '100' },
    afterVm: { old: ['QUARNEL_MAIN_THREAD_ONLY', 'QUARNEL_MAIN_THREAD_ONLY'], secondProxy: '0,0,0,0' },
    keys: [[], ['left'], ['pageDown']],
    oldLogs: [],
    closedOld: [],
  });
});
