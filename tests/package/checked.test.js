'use strict';
// quarnel/checked's argument checks, over a stand-in for the module that records its calls.
const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { checkedExports, SIGNATURES } = require(path.join(__dirname, '..', '..', 'lib', 'check.js'));

const calls = [];
const native = Object.fromEntries(Object.keys(SIGNATURES).map((name) => [name, (...args) => (calls.push([name, ...args]), `${name} result`)]));
const checked = checkedExports(native);
const fn = () => {};

test('a wrong argument throws a TypeError naming the function and the argument, before the module is called', () => {
  // function, arguments, message after "<function>: "
  const rows = [
    ['SetWindowFocus', ['12'], 'hwnd must be a window handle (an integer), got string "12"'],
    ['SetWindowFocus', [Buffer.alloc(8)], 'hwnd must be a window handle (an integer), got a Buffer (handleFromBuffer reads the handle from it)'],
    ['SetWindowFocus', [1.5], 'hwnd must be a window handle (an integer), got number 1.5'],
    ['SetWindowParent', [1, 2 ** 32], 'child must be a window handle (an integer), got number 4294967296'],
    ['InputMouseMove', ['10', '20'], 'x must be a 32-bit integer, got string "10"'],
    ['InputMouseMove', [10], 'y must be a 32-bit integer, got undefined'],
    ['StartProcess', ['a.exe', ['-x', 1], ''], 'args must be an array of strings, got an array'],
    ['StartProcess', ['a.exe', '-x', ''], 'args must be an array of strings, got string "-x"'],
    ['SetWindowFocusable', [1, 1], 'focusable must be a boolean, got number 1'],
    ['HookKeyboardEvent', [null], 'callback must be a function, got null'],
    ['WndProxyCreateProxyWindow', [1, 0, 0, 10, 10, {}], 'created must be a function, got an object'],
    ['GetMachineRegString', ['SOFTWARE\\x', undefined], 'itemKey must be a string, got undefined'],
  ];
  for (const [name, args, message] of rows) {
    assert.throws(() => checked[name](...args), { name: 'TypeError', code: 'QUARNEL_INVALID_ARGUMENT', message: `${name}: ${message}` });
  }
  assert.deepEqual(calls, []);
});

test('right arguments reach the module unchanged, with its result; every export is wrapped', () => {
  const rows = [
    ['SetWindowFocus', [-5]], ['WndProxyCloseWindow', [4294967294]], ['InputMouseMove', [-10, 20]],
    ['StartProcess', ['a.exe', [], 'C:\\']], ['SetWindowFocusable', [7, false]], ['SetLogCallBack', [fn]],
    ['GetMacAddresses', ['ignored']],
  ];
  for (const [name, args] of rows) assert.equal(checked[name](...args), `${name} result`);
  assert.deepEqual(calls, rows.map(([name, args]) => [name, ...args]));
  assert.deepEqual(Object.keys(checked), Object.keys(native));
  assert.equal(checked.SetWindowFocus.name, 'SetWindowFocus');
});
