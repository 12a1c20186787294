'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { childResult } = require('./support');

// Each case runs in a fresh process: the log sink is process-wide and only ever set once.
const KEYS = 'line,severity,file,func,content';

test('records written on worker threads reach the callback with five typed properties, in order per thread', async () => {
  const records = await childResult(`
    const records = [];
    addon.SetLogCallBack((r) => records.push(r));
    addon.test.writeLogs(4, 20);
    await sleep(200);
    out(records.map((r) => ({ keys: Object.keys(r).join(), types: Object.values(r).map((v) => typeof v).join(), ...r })));
  `);
  assert.equal(records.length, 80);
  for (const r of records) {
    assert.deepEqual([r.keys, r.types, r.severity], [KEYS, 'number,number,string,string,string', 1]);
    assert.match(r.file, /test_addon\.cpp$/);
    assert.ok(r.line > 0);
  }
  for (let thread = 0; thread < 4; thread++) {
    const sequence = records.filter((r) => r.content.startsWith(`thread ${thread} `)).map((r) => Number(r.content.split(' ')[3]));
    assert.deepEqual(sequence, Array.from({ length: 20 }, (_, i) => i), 'one thread keeps its order');
  }
});

test('replacing and clearing the callback while threads log: no crash, only well-formed records', async () => {
  const seen = await childResult(`
    const seen = { a: 0, b: 0, bad: 0 };
    const check = (tag) => (r) => {
      seen[tag]++;
      if (Object.keys(r).join() !== '${KEYS}' || typeof r.content !== 'string') seen.bad++;
    };
    for (let round = 0; round < 30; round++) {
      addon.SetLogCallBack(check(round % 2 ? 'a' : 'b'));
      addon.test.writeLogs(3, 30);
      if (round % 5 === 0) addon.UnSetLogCallBack();
      await sleep(2);
    }
    await sleep(100);
    out(seen);
  `);
  assert.equal(seen.bad, 0);
  assert.ok(seen.a + seen.b > 0);
});

test('callbacks set, cleared and refused: what each one receives', async () => {
  const rows = [
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
  for (const [name, body, expected] of rows) assert.deepEqual(await childResult(body), expected, name);
});
