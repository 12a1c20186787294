'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { childResult } = require('./support');

// Each case runs in a fresh process: the log sink is process-wide and only ever set once.
const rows = [
  ['records written on worker threads reach the callback with five typed properties, in order per thread', `
    const records = [];
    addon.SetLogCallBack((r) => records.push(r));
    addon.test.writeLogs(4, 20);
    await sleep(200);
    const distinct = (f) => [...new Set(records.map(f))];
    out({
      count: records.length,
      keys: distinct((r) => Object.keys(r).join()),
      types: distinct((r) => Object.values(r).map((v) => typeof v).join()),
      severities: distinct((r) => r.severity),
      places: distinct((r) => /test_addon\\.cpp$/.test(r.file) && r.line > 0),
      // One thread keeps its order.
      perThread: [0, 1, 2, 3].map((t) => records.filter((r) => r.content.startsWith('thread ' + t + ' '))
        .every((r, i) => r.content === 'thread ' + t + ' record ' + i)),
    });
  `, { count: 80, keys: ['line,severity,file,func,content'], types: ['number,number,string,string,string'],
    severities: [1], places: [true], perThread: [true, true, true, true] }],
  ['replacing and clearing the callback while threads log: no crash, only well-formed records', `
    const seen = { any: 0, bad: 0 };
    const check = (r) => {
      seen.any++;
      if (Object.keys(r).join() !== 'line,severity,file,func,content' || typeof r.content !== 'string') seen.bad++;
    };
    for (let round = 0; round < 30; round++) {
      addon.SetLogCallBack(round % 2 ? check : (r) => check(r));
      addon.test.writeLogs(3, 30);
      if (round % 5 === 0) addon.UnSetLogCallBack();
      await sleep(2);
    }
    await sleep(100);
    out({ any: seen.any > 0, bad: seen.bad });
  `, { any: true, bad: 0 }],
  ['UnSetLogCallBack drops records already queued; a new callback receives later ones', `
    const first = [];
    addon.SetLogCallBack((r) => first.push(r));
    addon.test.writeLogs(1, 10);
    addon.UnSetLogCallBack();
    addon.UnSetLogCallBack();
    await sleep(100);
    const second = [];
    addon.SetLogCallBack((r) => second.push(r.content));
    addon.test.writeLogs(1, 3);
    await sleep(100);
    out({ first: first.length, second });
  `, { first: 0, second: ['thread 0 record 0', 'thread 0 record 1', 'thread 0 record 2'] }],
  ['SetLogCallBack() without an argument throws and keeps the previous callback', `
    const records = [];
    addon.SetLogCallBack((r) => records.push(r.content));
    let error = null;
    try { addon.SetLogCallBack(); } catch (e) { error = { name: e.name, code: e.code, message: e.message }; }
    addon.test.writeLogs(1, 1);
    await sleep(100);
    out({ error, records });
  `, { error: { name: 'TypeError', code: 'ARGUMENTS_LENGTH_ERROR', message: 'Wrong number of arguments' },
    records: ['thread 0 record 0'] }],
  // Had these 200 records been queued, they would push the ten waiting key events out.
  ['after UnSetLogCallBack, log statements queue nothing', `
    addon.SetLogCallBack(() => {});
    addon.UnSetLogCallBack();
    const keys = [];
    addon.test.postKeyEvents((k) => keys.push(k), ['0', '1', '2', '3', '4', '5', '0', '1', '2', '3']);
    addon.test.writeLogs(2, 100);
    await support.waitFor(() => keys.length >= 10, 2000);
    await sleep(50);
    out(keys.join());
  `, 'left,up,right,down,pageUp,pageDown,left,up,right,down'],
  ['a replaced callback is never called, while threads keep logging through 10,000 swaps', `
    let current = null;
    const seen = { current: 0, replaced: 0 };
    addon.test.startBackgroundPosting(() => {}, 3);
    for (let i = 0; i < 10000; i++) {
      const mine = (r) => { seen[mine === current ? 'current' : 'replaced']++; };
      current = mine;
      addon.SetLogCallBack(mine);
      // Let queued records run now and then, each time with a different callback current.
      if (i % 50 === 0) await new Promise((resolve) => setImmediate(resolve));
    }
    await sleep(50);
    out({ delivered: seen.current > 0, replaced: seen.replaced });
  `, { delivered: true, replaced: 0 }],
  // Had these records been queued, they would push the two waiting key events out.
  ['with no log callback ever set, logging operations run and nothing is queued', `
    const keys = [];
    addon.test.postKeyEvents((k) => keys.push(k), ['0', '1']);
    addon.SetWindowParent(0, 0);
    addon.test.writeLogs(2, 500);
    await sleep(100);
    out(keys);
  `, ['left', 'up']],
];

for (const [name, body, expected] of rows) {
  test(name, async () => assert.deepEqual(await childResult(body), expected));
}
