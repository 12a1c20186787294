'use strict';
// The exit stress, short: 3 runs of each of its six endings (tests/stress/exit.js runs more).
const test = require('node:test');
const assert = require('node:assert/strict');
const { runExitStress, report, ENDINGS } = require('../stress/exit');

test('18 processes end each of six ways: no hang, no unexpected exit code', { timeout: 600000 }, async (t) => {
  const runs = Number(process.env.QUARNEL_EXIT_STRESS_RUNS || 3 * Object.keys(ENDINGS).length);
  const result = await runExitStress({ runs });
  const text = report(result);
  t.diagnostic(text);
  assert.equal(result.runs, runs);
  assert.deepEqual({ hangs: result.hangs, unexpected: result.unexpected }, { hangs: 0, unexpected: 0 }, text);
});
