'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { runScript } = require('./support');

// Each case runs in a fresh process: the log sink is process-wide and only ever set once.
async function inChild(body) {
  const result = await runScript(`
    const quarnel = require(process.env.QUARNEL_MODULE);
    const addon = require(process.env.QUARNEL_TEST_ADDON);
    const out = (value) => console.log('RESULT ' + JSON.stringify(value));
    const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
    (async () => { ${body} })().catch((e) => { console.log('ERROR ' + e.stack); process.exit(3); });
  `);
  assert.equal(result.code, 0, result.output);
  const line = result.output.split(/\r?\n/).find((l) => l.startsWith('RESULT '));
  assert.ok(line, result.output);
  return JSON.parse(line.slice(7));
}

test('records written on worker threads reach the callback with five typed properties in order', async () => {
  const result = await inChild(`
    const records = [];
    addon.SetLogCallBack((r) => records.push(r));
    addon.test.writeLogs(4, 20);
    await sleep(200);
    out({ count: records.length, keys: [...new Set(records.map((r) => Object.keys(r).join()))],
          types: [...new Set(records.map((r) => [typeof r.line, typeof r.severity, typeof r.file, typeof r.func, typeof r.content].join()))],
          sample: records[0], perThread: [0, 1, 2, 3].map((t) => records.filter((r) => r.content.startsWith('thread ' + t + ' ')).map((r) => Number(r.content.split(' ')[3]))) });
  `);
  assert.equal(result.count, 80);
  assert.deepEqual(result.keys, ['line,severity,file,func,content']);
  assert.deepEqual(result.types, ['number,number,string,string,string']);
  assert.equal(result.sample.severity, 1);
  assert.match(result.sample.file, /test_addon\.cpp$/);
  assert.ok(result.sample.line > 0);
  for (const sequence of result.perThread) {
    assert.deepEqual(sequence, Array.from({ length: 20 }, (_, i) => i), 'one thread keeps its order');
  }
});

test('records of a failing export carry its function name and error level', async () => {
  // The add-on's test module loads the same sources: its own sink, its own records.
  const result = await inChild(`
    const records = [];
    addon.SetLogCallBack((r) => records.push(r));
    addon.SetWindowParent(0, 0);
    await sleep(100);
    out(records.filter((r) => r.func === 'QuarnelImpl::SetWindowParent').map((r) => r.severity));
  `);
  assert.ok(result.length >= 1);
  assert.ok(result.every((severity) => severity === 3));
});

test('replacing and clearing the callback while threads log: no crash, only well-formed records', async () => {
  const result = await inChild(`
    const seen = { a: 0, b: 0, bad: 0 };
    const check = (tag) => (r) => {
      seen[tag]++;
      if (Object.keys(r).join() !== 'line,severity,file,func,content' || typeof r.content !== 'string') seen.bad++;
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
  assert.equal(result.bad, 0);
  assert.ok(result.a + result.b > 0);
});

test('UnSetLogCallBack drops records already queued; a new callback receives later ones', async () => {
  const result = await inChild(`
    const first = [];
    addon.SetLogCallBack((r) => first.push(r));
    addon.test.writeLogs(1, 10);
    addon.UnSetLogCallBack();
    addon.UnSetLogCallBack();
    await sleep(100);
    const second = [];
    addon.SetLogCallBack((r) => second.push(r));
    addon.test.writeLogs(1, 3);
    await sleep(100);
    out({ first: first.length, second: second.map((r) => r.content) });
  `);
  assert.deepEqual(result, { first: 0, second: ['thread 0 record 0', 'thread 0 record 1', 'thread 0 record 2'] });
});

test('SetLogCallBack() without an argument throws and keeps the previous callback', async () => {
  const result = await inChild(`
    const records = [];
    addon.SetLogCallBack((r) => records.push(r.content));
    let error = null;
    try { addon.SetLogCallBack(); } catch (e) { error = { name: e.name, code: e.code, message: e.message }; }
    addon.test.writeLogs(1, 1);
    await sleep(100);
    out({ error, records });
  `);
  assert.deepEqual(result, {
    error: { name: 'TypeError', code: 'ARGUMENTS_LENGTH_ERROR', message: 'Wrong number of arguments' },
    records: ['thread 0 record 0'],
  });
});

test('with no log callback ever set, logging operations run and nothing is queued', async () => {
  const result = await inChild(`
    const keys = [];
    addon.test.postKeyEvents((k) => keys.push(k), ['0', '1']);
    // Had these records been queued, they would push the two waiting key events out.
    addon.SetWindowParent(0, 0);
    addon.test.writeLogs(2, 500);
    await sleep(100);
    out(keys);
  `);
  assert.deepEqual(result, ['left', 'up']);
});
