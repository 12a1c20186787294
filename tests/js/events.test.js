'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { load, loadTestAddon, waitFor, sleep, childResult, runScript } = require('./support');

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

test('log records never push window events out: 100 creations amid 300 records, then a flood that says what it lost', async () => {
  const result = await childResult(`
    const seen = [];
    addon.SetLogCallBack((r) => r.content.startsWith('after window ') && seen.push('l' + r.content.slice(13)));
    addon.test.postWindowsAmidLogs(({ hwnd }) => seen.push('w' + hwnd), 100, 3);
    await support.waitFor(() => seen.length >= 400, 3000);
    const flood = [];
    addon.SetLogCallBack((r) => flood.push(r));
    addon.test.writeLogs(1, 700);
    await support.waitFor(() => flood.length >= 512, 3000);
    await sleep(50);
    const expected = [];
    for (let i = 0; i < 100; i++) expected.push('w' + i, 'l' + i, 'l' + i, 'l' + i);
    out({
      inOrder: seen.join() === expected.join(),
      windows: seen.filter((s) => s[0] === 'w').length,
      flood: flood.length,
      first: [flood[0].content, flood[0].lost],
      lostMarks: flood.filter((r) => 'lost' in r).length,
    });
  `);
  assert.deepEqual(result, { inOrder: true, windows: 100, flood: 512, first: ['thread 0 record 188', 188], lostMarks: 1 });
});

test('a steady stream from a worker arrives whole, whether batches are full or hold one event', { timeout: 60000 }, async () => {
  // The worker keeps at most `window` events in flight and waits for their delivery: one lost
  // wake-up stalls it for good. One in flight makes every batch a single event, so a wake-up
  // runs out of batches while the worker still posts.
  for (const [count, window] of [[20000, 64], [3000, 1]]) {
    bridge.benchQueueRun(() => bridge.benchCount(), count, window);
    assert.ok(await waitFor(() => bridge.benchIsDone(), 20000), `${count} events, ${window} in flight`);
    bridge.benchTakeResult();
  }
});

test('a replaced callback receives none of its queued tasks; the new one only later events', async () => {
  const first = [];
  bridge.postKeyEvents((key) => first.push(key), ['0', '1', '2']);
  // Replacing the held callback releases the first one while its three tasks still wait.
  assert.deepEqual(await post('postKeyEvents', ['3', '4'], 2), ['down', 'pageUp']);
  assert.deepEqual(first, []);
});

test('proxy window and touch tasks carry their payloads', async () => {
  // The handle goes unsigned, as the only member.
  const [unsigned] = await post('postProxyEvent', -1);
  assert.deepEqual([unsigned, Object.keys(unsigned)], [{ hwnd: 4294967295 }, ['hwnd']]);
  // Touch points as compact JSON text with sorted members, ids and times unsigned, under one
  // member; no point at all is null.
  assert.deepEqual(await post('postTouchEvent', ['0', '10', '20', '1', '5', '2', '-30', '40', '4294967295', '4000000000']),
    [{ points: '[{"id":1,"time":5,"touchType":0,"x":10,"y":20},{"id":4294967295,"time":4000000000,"touchType":2,"x":-30,"y":40}]' }]);
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

// A callback runs inside a callback scope of the context it was set in: what it queues runs
// right after it, and AsyncLocalStorage sees the store active when it was set.
test('callbacks run in the context they were set in; their promise jobs and ticks run before any timer', { timeout: 30000 }, async () => {
  const result = await childResult(`
    const { AsyncLocalStorage } = require('node:async_hooks');
    const q = require(support.repo);
    const als = new AsyncLocalStorage();
    // Without the scope, what the log callback queues would wait for the ticker's next call.
    const order = [];
    als.run('log', () => q.SetLogCallBack((r) => {
      if (r.func !== 'QuarnelImpl::SetWindowParent') return;
      order.push('log:' + als.getStore());
      Promise.resolve().then(() => order.push('promise'));
      process.nextTick(() => order.push('tick'));
    }));
    const keys = [];
    als.run('keys', () => q.HookKeyboardEvent((key) => keys.push(key + ':' + als.getStore())));
    const ticker = setInterval(() => order.push('timer'), 1);
    await sleep(20);
    q.SetWindowParent(0, 0);
    await support.waitFor(() => order.includes('promise'), 3000);
    clearInterval(ticker);
    als.run('other', () => support.targetHelper('--send-keys', '0x25'));
    await support.waitFor(() => keys.length > 0, 3000);
    q.UnHookKeyboardEvent();
    const at = order.indexOf('log:log');
    out({ after: order.slice(at, at + 3), keys });
  `);
  assert.deepEqual(result, { after: ['log:log', 'tick', 'promise'], keys: ['left:keys'] });
});

// The module belongs to the environment that first used it. Other environments (Workers) get
// an Error and change nothing; a Worker that owned it leaves nothing running when it ends, and
// the main thread then owns it.
const WORKER_CALLS = `
  const { parentPort } = require('node:worker_threads');
  const q = require(process.env.QUARNEL_MODULE);
  const calls = [() => q.HookKeyboardEvent(() => {}), () => q.UnHookKeyboardEvent(), () => q.ProgramWillQuit(),
    () => q.SetLogCallBack(() => {}), () => q.GetCurrentForegroundWindow()];
  parentPort.postMessage(calls.map((call) => {
    try { return 'returned ' + call(); } catch (e) { return (e instanceof Error) + ' ' + e.code; }
  }));`;

test("Workers that call the module are refused and leave the owner's hook working", { timeout: 60000 }, async () => {
  const result = await childResult(`
    const keys = [];
    quarnel.HookKeyboardEvent((key) => keys.push(key));
    const answers = await Promise.all(Array.from({ length: 20 }, () => support.workerAnswer(${JSON.stringify(WORKER_CALLS)})));
    support.targetHelper('--send-keys', '0x25,0x22');
    await support.waitFor(() => keys.length >= 2, 3000);
    quarnel.UnHookKeyboardEvent();
    out({ answers: [...new Set(answers.map((a) => a.join()))], keys });
  `);
  assert.deepEqual(result, { answers: [Array(5).fill('true QUARNEL_MAIN_THREAD_ONLY').join()], keys: ['left', 'pageDown'] });
});

test('a Worker that loaded and used the module first, then ended, leaves the process running and the module to the main thread', { timeout: 30000 }, async () => {
  // Nothing but the Worker loads the module: when it ends, the host lets the DLL go. Loaded
  // by the main thread right away instead, the module's new environment is often given the
  // Worker's old address (one run in four or five on node 26): two processes of each.
  const runs = await Promise.all([false, false, true, true].map((early) => runScript(`
    const support = require(${JSON.stringify(require.resolve('./support'))});
    (async () => {
      await support.workerAnswer(\`
        const q = require(process.env.QUARNEL_MODULE);
        q.HookKeyboardEvent(() => {});
        q.SetLogCallBack(() => {});
        q.GetCurrentForegroundWindow();\`);
      const early = ${early} && require(process.env.QUARNEL_MODULE);
      // A hook thread left running code of an unmapped DLL would crash the process here.
      support.targetHelper('--send-keys', '0x25,0x26');
      await support.sleep(300);
      let main;
      try { main = 'returned ' + (early || require(process.env.QUARNEL_MODULE)).GetCurrentForegroundWindow(); } catch (e) { main = e.code || e.message; }
      console.log('RESULT ' + JSON.stringify({ main }));
    })();
  `)));
  for (const { code, output } of runs) {
    assert.equal(code, 0, output);
    assert.match(output, /RESULT \{"main":"returned \d+"\}/);
  }
});

test("a Worker's ProgramWillQuit changes nothing for the main thread, before or after the main thread owns the module", { timeout: 60000 }, async () => {
  // A quitting module keeps every reference it would release: a replaced callback whose
  // function is never collected shows it.
  const result = await childResult(`
    require('v8').setFlagsFromString('--expose-gc');
    const gc = require('vm').runInNewContext('gc');
    const quitOnWorker = () => support.workerAnswer(\`
      const { parentPort } = require('node:worker_threads');
      try { parentPort.postMessage('returned ' + require(process.env.QUARNEL_MODULE).ProgramWillQuit()); }
      catch (e) { parentPort.postMessage(e.code); }\`);
    let collected = 0;
    const registry = new FinalizationRegistry(() => collected++);
    const replaceLogCallback = async () => {
      const before = collected;
      (() => {
        const fn = () => {};
        registry.register(fn, 0);
        quarnel.SetLogCallBack(fn);
      })();
      quarnel.SetLogCallBack(() => {});
      for (let n = 0; n < 40 && collected === before; n++) {
        await sleep(50);
        gc();
      }
      return collected - before;
    };
    const rows = [];
    rows.push(['nobody owns it', await quitOnWorker(), await replaceLogCallback()]);
    rows.push(['the main thread owns it', await quitOnWorker(), await replaceLogCallback()]);
    quarnel.UnSetLogCallBack();
    out(rows);
  `);
  assert.deepEqual(result, [
    ['nobody owns it', 'returned undefined', 1],
    ['the main thread owns it', 'QUARNEL_MAIN_THREAD_ONLY', 1],
  ]);
});
