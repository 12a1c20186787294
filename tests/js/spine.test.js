'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, loadTestAddon, waitFor } = require('./support');

const quarnel = load();
const bridge = loadTestAddon().test;

// name → number of required arguments
const EXPORTS = [
  ['SetWindowFocus', 1], ['SetWindowParent', 2], ['StartProcess', 3], ['IsHiddenFile', 1],
  ['SetWindowFrontTaskbar', 1], ['GetMainMonitorReslution', 0], ['GetMacAddresses', 0],
  ['SetRunmode', 1], ['SetWindowFocusable', 2], ['GetCurrentForegroundWindow', 0],
  ['HookKeyboardEvent', 1], ['UnHookKeyboardEvent', 0], ['InputMouseMove', 2],
  ['InputMouseLeftClick', 0], ['InputMouseLeftDown', 0], ['InputMouseLeftUp', 0],
  ['InputMouseRightClick', 0], ['InputMouseRightDown', 0], ['InputMouseRightUp', 0],
  ['WndProxyCreateProxyWindow', 6], ['WndProxyResizeWindow', 5], ['WndProxyCloseWindow', 1],
  ['WndProxyCloseAllWindow', 1], ['WndProxySetWindowCloseCB', 1], ['WndProxySetFocusCB', 1],
  ['WndProxySetBlurCB', 1], ['WndProxyShowFrame', 0], ['WndProxyHideFrame', 0],
  ['SetLogCallBack', 1], ['UnSetLogCallBack', 0], ['GetMachineRegString', 2], ['ProgramWillQuit', 0],
];

test('the module exports the 32 functions in table order, each without a name', () => {
  assert.deepEqual(Object.keys(quarnel), EXPORTS.map(([name]) => name));
  for (const [name] of EXPORTS) {
    assert.equal(typeof quarnel[name], 'function', name);
    assert.equal(quarnel[name].name, '', name);
  }
});

test('one argument too few throws the arguments TypeError', () => {
  for (const [name, count] of EXPORTS.filter(([, count]) => count > 0)) {
    const args = new Array(count - 1).fill(0);
    assert.throws(() => quarnel[name](...args), (error) => {
      assert.ok(error instanceof TypeError, name);
      assert.equal(error.code, 'ARGUMENTS_LENGTH_ERROR', name);
      assert.equal(error.message, 'Wrong number of arguments', name);
      return true;
    });
  }
});

test('extra and wrongly typed arguments are read leniently, never thrown', () => {
  // Exports that would act on the machine with such values are left out here.
  const harmless = ['SetWindowFocus', 'SetWindowParent', 'IsHiddenFile', 'SetWindowFrontTaskbar',
    'SetWindowFocusable', 'WndProxyResizeWindow', 'WndProxyCloseWindow', 'WndProxyCloseAllWindow',
    'GetMachineRegString', 'GetMainMonitorReslution', 'GetCurrentForegroundWindow'];
  for (const name of harmless) {
    const count = EXPORTS.find(([n]) => n === name)[1];
    assert.doesNotThrow(() => quarnel[name](...new Array(count + 2).fill('junk')), name);
    assert.doesNotThrow(() => quarnel[name](...new Array(count).fill({})), name);
  }
});

test('yes/no results are the numbers 1 and 0', () => {
  assert.equal(quarnel.IsHiddenFile(5), 0);
  assert.equal(quarnel.WndProxyResizeWindow(0, 0, 0, 10, 10), 0);
  assert.equal(typeof quarnel.SetWindowParent(0, 0).status, 'number');
});

test('lenient readers', () => {
  assert.equal(bridge.getInt32('5'), 0);
  assert.equal(bridge.getInt32(-7.9), -7);
  assert.equal(bridge.getInt32(2 ** 32 + 3), 3);
  assert.equal(bridge.getBool(1), 0);
  assert.equal(bridge.getBool(true), 1);
  assert.equal(bridge.getString(42), '');
  assert.equal(bridge.getString('zoë ✓'), 'zoë ✓');
  assert.deepEqual(bridge.getStringArray(['a', 5, 'c']), ['a', '', 'c']);
  assert.deepEqual(bridge.getStringArray('abc'), []);
  assert.deepEqual(bridge.getStringArray([]), []);
});

test('makers: a native string with a zero byte arrives cut; int64 keeps the sign', () => {
  assert.equal(bridge.makeStringWithZero(), 'ab');
  assert.equal(bridge.makeInt64(-1), -1);
});

test('200 items posted from a worker before the JavaScript thread runs: the newest 128, in order', async () => {
  const received = [];
  // Key codes 0..5 cycle; the posting order is recoverable from the sequence of names.
  const names = ['left', 'up', 'right', 'down', 'pageUp', 'pageDown'];
  const codes = Array.from({ length: 200 }, (_, i) => String(i % 6));
  bridge.postKeyEvents((key) => received.push(key), codes);
  await waitFor(() => received.length >= 128, 3000);
  await new Promise((resolve) => setTimeout(resolve, 50));
  assert.equal(received.length, 128);
  assert.deepEqual(received, codes.slice(72).map((c) => names[Number(c)]));
});
