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
  // Cleared now and then, when no callback at all may be called.
  ['while threads keep logging through 10,000 swaps and clears, only the current callback is called, with well-formed records', `
    let current = null;
    const seen = { current: 0, replaced: 0, bad: 0 };
    addon.test.startBackgroundPosting(() => {}, 3);
    for (let i = 0; i < 10000; i++) {
      const mine = (r) => {
        seen[mine === current ? 'current' : 'replaced']++;
        // A record after a gap says how many went before it.
        const keys = Object.keys(r).join();
        const lostOk = keys === 'line,severity,file,func,content' || (keys.endsWith(',lost') && r.lost > 0);
        if (!keys.startsWith('line,severity,file,func,content') || !lostOk || typeof r.content !== 'string') seen.bad++;
      };
      current = mine;
      addon.SetLogCallBack(mine);
      if (i % 500 === 250) {
        addon.UnSetLogCallBack();
        current = null;
      }
      // Let queued records run now and then, each time with a different callback current.
      if (i % 50 === 0) await new Promise((resolve) => setImmediate(resolve));
    }
    await sleep(50);
    out({ delivered: seen.current > 0, replaced: seen.replaced, bad: seen.bad });
  `, { delivered: true, replaced: 0, bad: 0 }],
  // Had these records been queued, they would push the six waiting key events out.
  ['log statements queue nothing before any log callback was set, nor after UnSetLogCallBack', `
    const rounds = [];
    const round = async () => {
      const keys = [];
      addon.test.postKeyEvents((k) => keys.push(k), ['0', '1', '2', '3', '4', '5']);
      addon.SetWindowParent(0, 0);
      addon.test.writeLogs(2, 500);
      await support.waitFor(() => keys.length >= 6, 2000);
      await sleep(50);
      rounds.push(keys.join());
    };
    await round();
    addon.SetLogCallBack(() => {});
    addon.UnSetLogCallBack();
    await round();
    out(rounds);
  `, Array(2).fill('left,up,right,down,pageUp,pageDown')],
];

for (const [name, body, expected] of rows) {
  test(name, async () => assert.deepEqual(await childResult(body), expected));
}
