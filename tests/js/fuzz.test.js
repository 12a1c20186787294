'use strict';
// Random arguments for all 32 exports, in a node.exe of its own. CI runs one fixed seed;
// FUZZ_SEED and FUZZ_CALLS run others.
const test = require('node:test');
const assert = require('node:assert/strict');
const { runIsolated } = require('../stress/fuzz');
const { load } = require('./support');

const seed = process.env.FUZZ_SEED || '20261206';
const calls = process.env.FUZZ_CALLS || '10000';

test(`${calls} calls with random arguments, seed ${seed}`, { timeout: 900000 }, async (t) => {
  const result = await runIsolated({ seed, calls });
  // A run ended mid-way may leave a button pressed, which every later test would inherit.
  const quarnel = load();
  quarnel.InputMouseLeftUp();
  quarnel.InputMouseRightUp();
  const report = `FUZZ_SEED=${seed} FUZZ_CALLS=${calls}\n${result.output}`;
  assert.ok(result.outcome, `${report}\nno outcome (${result.stalled ? 'a call did not return within 60 s' :
    `exit code ${result.code}`}); last calls:\n${result.lastCalls.join('\n')}`);
  t.diagnostic(report);
  assert.deepEqual({ violations: result.outcome.violations, slowCalls: result.outcome.slow },
    { violations: [], slowCalls: [] }, report);
  assert.equal(result.code, 0, report);
});
