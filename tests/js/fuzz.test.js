'use strict';
// Random arguments for all 32 exports, in a node.exe of its own (a crash must not take the test
// runner with it). CI runs one fixed seed; FUZZ_SEED and FUZZ_CALLS run others.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { runScript, tempFile } = require('./support');

const seed = process.env.FUZZ_SEED || '20261206';
const calls = process.env.FUZZ_CALLS || '10000';

test(`${calls} calls with random arguments, seed ${seed}`, { timeout: 900000 }, async (t) => {
  const journal = tempFile('quarnel-fuzz') + '.journal';
  const driver = JSON.stringify(require.resolve('../stress/fuzz'));
  const result = await runScript(`require(${driver}).cli(${JSON.stringify(['--seed', seed, '--calls', calls, '--journal', journal])});`,
    { timeoutMs: 840000 });
  const lastCalls = fs.existsSync(journal) ? fs.readFileSync(journal, 'utf8').trim().split('\n').slice(-5) : [];
  fs.rmSync(journal, { force: true });
  const line = result.output.split(/\r?\n/).find((l) => l.startsWith('FUZZ '));
  const report = `FUZZ_SEED=${seed} FUZZ_CALLS=${calls}\n${result.output.replace(/^FUZZ .*$/m, '').trim()}`;
  assert.ok(line && !result.timedOut,
    `${report}\nno outcome (${result.timedOut ? 'hung' : `exit code ${result.code}`}); last calls:\n${lastCalls.join('\n')}`);
  const outcome = JSON.parse(line.slice('FUZZ '.length));
  t.diagnostic(report);
  assert.deepEqual({ violations: outcome.violations, slowCalls: outcome.slow }, { violations: [], slowCalls: [] }, report);
  assert.equal(result.code, 0, report);
});
