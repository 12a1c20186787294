'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, loadTestAddon } = require('./support');

const quarnel = load();
const bridge = loadTestAddon().test;

// [name, number of required arguments], in the module's order: the fuzz harness's table (the
// harness checks the arguments TypeError of every export called with too few).
const EXPORTS = Object.entries(require('../stress/fuzz').EXPORTS).map(([name, [arity]]) => [name, arity]);

test('the module exports the 32 functions in table order, each without a name', () => {
  assert.deepEqual(Object.keys(quarnel), EXPORTS.map(([name]) => name));
  assert.deepEqual(Object.values(quarnel).map((f) => [typeof f, f.name]), EXPORTS.map(() => ['function', '']));
});

test('lenient readers and makers', () => {
  const rows = [
    // reader, argument, value read
    ['getInt32', '5', 0], ['getInt32', -7.9, -7], ['getInt32', 2 ** 32 + 3, 3],
    ['getBool', 1, 0], ['getBool', true, 1],
    ['getString', 42, ''], ['getString', 'zoë ✓', 'zoë ✓'],
    ['getStringArray', ['a', 5, 'c'], ['a', '', 'c']], ['getStringArray', 'abc', []], ['getStringArray', [], []],
    ['makeInt64', -1, -1], // keeps the sign
    // An element whose getter throws is read as "", and nothing is thrown.
    ['getStringArray', Object.defineProperty(['a', 'b', 'c'], 1, { get: () => { throw new Error('getter'); } }), ['a', '', 'c']],
  ];
  for (const [i, [reader, argument, expected]] of rows.entries()) {
    assert.deepEqual(bridge[reader](argument), expected, `row ${i}: ${reader}`);
  }
  // A native string with a zero byte arrives cut.
  assert.equal(bridge.makeStringWithZero(), 'ab');
});
