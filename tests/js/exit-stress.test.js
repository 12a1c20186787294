'use strict';
// The two exit stresses, short (tests/stress/ runs them longer).
const test = require('node:test');
const assert = require('node:assert/strict');
const { runExitStress, report, ENDINGS } = require('../stress/exit');

// 3 runs of each ending.
test('27 processes end each of nine ways: no hang, no unexpected exit code', { timeout: 600000 }, async (t) => {
  const runs = Number(process.env.QUARNEL_EXIT_STRESS_RUNS || 3 * Object.keys(ENDINGS).length);
  const result = await runExitStress({ runs });
  const text = report(result);
  t.diagnostic(text);
  assert.equal(result.runs, runs);
  assert.deepEqual({ hangs: result.hangs, unexpected: result.unexpected }, { hangs: 0, unexpected: 0 }, text);
});

// The many-overlays exit stress (tests/stress/overlays-exit.js also runs its control without
// the module): 24 proxies asked for at once, their frames, process.exit(3).
test('processes that make 24 proxies and their frames at once and exit end with their code, no heap message, no hang', { timeout: 600000 }, async (t) => {
  const { runOverlaysExit, report } = require('../stress/overlays-exit');
  const runs = Number(process.env.QUARNEL_OVERLAYS_EXIT_RUNS || 10);
  const result = await runOverlaysExit({ runs });
  t.diagnostic(report(result));
  assert.deepEqual({ runs: result.runs, bad: result.bad }, { runs, bad: 0 }, report(result));
});
