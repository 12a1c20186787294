'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, loadTestAddon, waitFor, sleep, runScript } = require('./support');

load();
const bridge = loadTestAddon().test;
const NAMES = ['left', 'up', 'right', 'down', 'pageUp', 'pageDown'];

// Lets the queue's wake-up run, then a little more so late deliveries would show.
const settle = async (check) => {
  await waitFor(check, 3000);
  await sleep(50);
};

test('keyboard tasks deliver exactly one key name; codes outside 0..5 deliver nothing', async () => {
  const calls = [];
  bridge.postKeyEvents((...args) => calls.push(args), ['5', '6', '-1', '0', '3']);
  await settle(() => calls.length >= 3);
  assert.deepEqual(calls, [['pageDown'], ['left'], ['down']]);
});

test('129 events before the JavaScript thread runs: 128 calls, for the 2nd to the 129th, in order', async () => {
  const received = [];
  const codes = Array.from({ length: 129 }, (_, i) => String(i % 6));
  bridge.postKeyEvents((key) => received.push(key), codes);
  await settle(() => received.length >= 128);
  assert.deepEqual(received, codes.slice(1).map((c) => NAMES[Number(c)]));
});

test('a replaced callback receives none of its queued tasks; the new one only later events', async () => {
  const first = [];
  const second = [];
  bridge.postKeyEvents((key) => first.push(key), ['0', '1', '2']);
  // Replacing the held callback releases the first one while its three tasks still wait.
  bridge.postKeyEvents((key) => second.push(key), ['3', '4']);
  await settle(() => second.length >= 2);
  assert.deepEqual(first, []);
  assert.deepEqual(second, ['down', 'pageUp']);
});

test('proxy window tasks carry the handle unsigned', async () => {
  const payloads = [];
  bridge.postProxyEvent((payload) => payloads.push(payload), -1);
  bridge.postProxyEvent((payload) => payloads.push(payload), 0x1234);
  await settle(() => payloads.length >= 1);
  // The second post replaced the held callback, so only its own event arrives.
  assert.deepEqual(payloads, [{ hwnd: 0x1234 }]);
  const failed = [];
  bridge.postProxyEvent((payload) => failed.push(payload), -1);
  await settle(() => failed.length >= 1);
  assert.deepEqual(failed, [{ hwnd: 4294967295 }]);
  assert.deepEqual(Object.keys(failed[0]), ['hwnd']);
});

test('touch tasks deliver the points as compact JSON text with sorted members', async () => {
  const payloads = [];
  bridge.postTouchEvent((p) => payloads.push(p), ['0', '10', '20', '1', '5', '2', '30', '-40', '2', '5']);
  await settle(() => payloads.length >= 1);
  assert.deepEqual(payloads, [{
    points: '[{"id":1,"time":5,"touchType":0,"x":10,"y":20},{"id":2,"time":5,"touchType":2,"x":30,"y":-40}]',
  }]);
  const empty = [];
  bridge.postTouchEvent((p) => empty.push(p), []);
  await settle(() => empty.length >= 1);
  assert.deepEqual(empty, [{ points: 'null' }]);
});

test('a callback that throws does not stop later events', async () => {
  const script = `
    const addon = require(process.env.QUARNEL_TEST_ADDON);
    const errors = [];
    process.on('uncaughtException', (e) => errors.push(e.message));
    const keys = [];
    addon.test.postKeyEvents((key) => { keys.push(key); if (key === 'left') throw new Error('boom'); }, ['0', '1', '2']);
    setTimeout(() => {
      console.log(JSON.stringify({ keys, errors }));
    }, 300);
  `;
  const result = await runScript(script);
  assert.equal(result.code, 0, result.output);
  assert.deepEqual(JSON.parse(result.output.trim().split('\n').pop()), {
    keys: ['left', 'up', 'right'],
    errors: ['boom'],
  });
});

test('the last share of a callback dropped on a worker thread is released on the JavaScript thread', async () => {
  // The function can only be collected once its reference is deleted; with a full queue the
  // hand-over must still happen (it is not one of the 128 events).
  const script = `
    require('v8').setFlagsFromString('--expose-gc');
    const gc = require('vm').runInNewContext('gc');
    const addon = require(process.env.QUARNEL_TEST_ADDON);
    let collected = 0;
    const registry = new FinalizationRegistry(() => collected++);
    let calls = 0;
    (function () {
      for (let i = 0; i < 3; i++) {
        const fn = () => calls++;
        registry.register(fn, i);
        addon.test.releaseOnWorker(fn, 200);
      }
    })();
    const check = (n) => setTimeout(() => {
      gc();
      if (collected === 3 || n === 0) return setTimeout(() => console.log(JSON.stringify({ collected, calls })), 0);
      check(n - 1);
    }, 50);
    check(40);
  `;
  const result = await runScript(script);
  assert.equal(result.code, 0, result.output);
  assert.deepEqual(JSON.parse(result.output.trim().split('\n').pop()), { collected: 3, calls: 0 });
});
