'use strict';
// Exit stress with many overlays: each run is a fresh process that asks for 24 proxy windows
// at once over another process's window, shows their frames and calls process.exit(3). Counts
// the runs that ended with another code (by code), printed a heap message of the C library
// beneath Wine, or hung. The C library writes those messages to the Unix standard error, which a
// child shares with this process (the session's output), not to the child's pipes: the
// session's output is to be searched for them as well.
//
//   scripts/wine-run node tests/stress/overlays-exit.js [--runs N] [--control [--lock]] [--log FILE]
//
// --control runs tests/fixtures/overlay_exit_control.exe instead, which makes the same windows
// the same way with plain Win32 code and nothing of the module (--lock: one at a time).
const path = require('node:path');
const support = require('../js/support');

const HANG_MS = 30000;
const HEAP_MESSAGE = /tcache|double free|malloc\(\)|free\(\)|corrupted|heap/i;
const controlPath = path.join(path.dirname(support.targetAppPath), 'overlay_exit_control.exe');

const childSource = `
  const quarnel = require(process.env.QUARNEL_MODULE);
  const parent = Number(process.env.QUARNEL_STRESS_PARENT);
  let made = 0;
  for (let i = 0; i < 24; i++) {
    quarnel.WndProxyCreateProxyWindow(parent, 60 + 12 * i, 60, 10, 40, () => made++);
  }
  const started = Date.now();
  const wait = setInterval(() => {
    if (made < 24 && Date.now() - started < 5000) return;
    clearInterval(wait);
    quarnel.WndProxyShowFrame();
    console.log('ending made ' + made);
    process.exit(3);
  }, 5);
`;

// Resolves with { runs, bad, byCode, heap, hangs, failures, seconds }.
async function runOverlaysExit({ runs = 20, control = false, lock = false, print = () => {} } = {}) {
  const started = Date.now();
  const target = await support.startTarget([[40, 40, 400, 200]]);
  const result = { runs: 0, bad: 0, byCode: {}, heap: 0, hangs: 0, failures: [] };
  try {
    for (let run = 0; run < runs; run++) {
      const begin = Date.now();
      const parent = String(target.hwnds[0]);
      const outcome = control
        ? await support.runProgram(controlPath, [parent, ...(lock ? ['--lock'] : [])], { timeoutMs: HANG_MS })
        : await support.runScript(childSource, { timeoutMs: HANG_MS, env: { QUARNEL_STRESS_PARENT: parent } });
      result.runs++;
      const heap = HEAP_MESSAGE.test(outcome.output);
      const good = !outcome.timedOut && outcome.code === 3 && /ending/.test(outcome.output) && !heap;
      if (heap) result.heap++;
      if (outcome.timedOut) result.hangs++;
      else if (outcome.code !== 3) result.byCode[outcome.code] = (result.byCode[outcome.code] || 0) + 1;
      if (!good) {
        result.bad++;
        result.failures.push({ run, code: outcome.code, hung: outcome.timedOut, output: outcome.output.slice(-300) });
      }
      print(`run ${run + 1}/${runs}: ${outcome.timedOut ? 'hung' : `code ${outcome.code}`}${heap ? ' heap message' : ''} in ${Date.now() - begin} ms`);
    }
  } finally {
    await target.stop();
  }
  result.seconds = (Date.now() - started) / 1000;
  return result;
}

function report(result) {
  const codes = Object.entries(result.byCode).map(([code, n]) => `${code}: ${n}`).join(', ') || 'none';
  const lines = [`runs ${result.runs}, bad ${result.bad} (other exit codes: ${codes}; heap messages ${result.heap}; ` +
    `hangs ${result.hangs}), ${result.seconds.toFixed(1)} s`];
  for (const f of result.failures) lines.push(`run ${f.run}: ${f.hung ? 'hung' : `code ${f.code}`}: ${f.output}`);
  return lines.join('\n');
}

module.exports = { runOverlaysExit, report };

if (require.main === module) {
  const options = support.parseOptions(process.argv.slice(2), { runs: 20, control: false, lock: false, log: '' });
  // With --log, each run's line is also appended there as it ends (the runner prints only at the end).
  const print = (line) => {
    console.log(line);
    if (options.log) require('node:fs').appendFileSync(options.log, line + '\n');
  };
  support.runStress(runOverlaysExit, report, (result) => result.bad, options, print);
}
