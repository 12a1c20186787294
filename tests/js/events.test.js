'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, loadTestAddon, waitFor, sleep, childResult } = require('./support');

load();
const bridge = loadTestAddon().test;
const NAMES = ['left', 'up', 'right', 'down', 'pageUp', 'pageDown'];

// Posts from a worker thread before the JavaScript thread runs; resolves with the payloads the
// callback got, once `count` arrived and a little longer so that late deliveries would show.
async function post(kind, args, count = 1) {
  const calls = [];
  bridge[kind]((...payload) => calls.push(payload.length === 1 ? payload[0] : payload), args);
  await waitFor(() => calls.length >= count, 3000);
  await sleep(50);
  return calls;
}

test('keyboard tasks deliver exactly one key name; codes outside 0..5 deliver nothing', async () => {
  assert.deepEqual(await post('postKeyEvents', ['5', '6', '-1', '0', '3'], 3), ['pageDown', 'left', 'down']);
});

test('200 events before the JavaScript thread runs: the newest 128 are called, in order', async () => {
  // Key codes 0..5 cycle; the posting order is recoverable from the sequence of names.
  const codes = Array.from({ length: 200 }, (_, i) => String(i % 6));
  assert.deepEqual(await post('postKeyEvents', codes, 128), codes.slice(72).map((c) => NAMES[Number(c)]));
});

test('a replaced callback receives none of its queued tasks; the new one only later events', async () => {
  const first = [];
  bridge.postKeyEvents((key) => first.push(key), ['0', '1', '2']);
  // Replacing the held callback releases the first one while its three tasks still wait.
  assert.deepEqual(await post('postKeyEvents', ['3', '4'], 2), ['down', 'pageUp']);
  assert.deepEqual(first, []);
});

test('proxy window and touch tasks carry their payloads', async () => {
  const replaced = [];
  bridge.postProxyEvent((payload) => replaced.push(payload), -1);
  // The second post replaced the held callback, so only its own event arrives.
  assert.deepEqual(await post('postProxyEvent', 0x1234), [{ hwnd: 0x1234 }]);
  assert.deepEqual(replaced, []);
  // The handle goes unsigned, as the only member.
  const [unsigned] = await post('postProxyEvent', -1);
  assert.deepEqual([unsigned, Object.keys(unsigned)], [{ hwnd: 4294967295 }, ['hwnd']]);
  // Touch points as compact JSON text with sorted members.
  assert.deepEqual(await post('postTouchEvent', ['0', '10', '20', '1', '5', '2', '30', '-40', '2', '5']), [{
    points: '[{"id":1,"time":5,"touchType":0,"x":10,"y":20},{"id":2,"time":5,"touchType":2,"x":30,"y":-40}]',
  }]);
  assert.deepEqual(await post('postTouchEvent', []), [{ points: 'null' }]);
});

test('a callback that throws does not stop later events', async () => {
  const result = await childResult(`
    const errors = [];
    process.on('uncaughtException', (e) => errors.push(e.message));
    const keys = [];
    addon.test.postKeyEvents((key) => { keys.push(key); if (key === 'left') throw new Error('boom'); }, ['0', '1', '2']);
    await sleep(300);
    out({ keys, errors });
  `);
  assert.deepEqual(result, { keys: ['left', 'up', 'right'], errors: ['boom'] });
});

test('the last share of a callback dropped on a worker thread is released on the JavaScript thread', async () => {
  // The function can only be collected once its reference is deleted; with a full queue the
  // hand-over must still happen (it is not one of the 128 events).
  const result = await childResult(`
    require('v8').setFlagsFromString('--expose-gc');
    const gc = require('vm').runInNewContext('gc');
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
    for (let n = 0; n < 40 && collected < 3; n++) {
      await sleep(50);
      gc();
    }
    await sleep(0);
    out({ collected, calls });
  `);
  assert.deepEqual(result, { collected: 3, calls: 0 });
});
