'use strict';
// What the DPI context and the integrity check add to a mouse move: InputMouseMove per call,
// against those checks alone, with a window of another process in the foreground (so the
// check opens that process and reads its token). Prints figures; asserts nothing.
//   scripts/wine-run node bench/input.js
const path = require('node:path');
const support = require('../tests/js/support');

const addon = support.loadTestAddon();
const bench = addon.test;

function perCall(run, iterations) {
  const start = process.hrtime.bigint();
  run(iterations);
  return Number(process.hrtime.bigint() - start) / iterations;
}

async function main() {
  const target = await support.startTarget([[100, 100, 400, 300]]);
  addon.SetWindowFocus(target.hwnds[0]);
  await support.sleep(200);
  const moves = (n) => {
    for (let i = 0; i < n; i++) addon.InputMouseMove(150 + (i % 200), 150 + (i % 100));
  };
  moves(200);
  bench.benchInputChecksCost(200);
  const rows = [];
  for (let round = 0; round < 3; round++) {
    const move = perCall(moves, 2000);
    const checks = Math.abs(bench.benchInputChecksCost(20000));
    rows.push({ move, checks });
  }
  await target.stop();
  const best = (key) => Math.min(...rows.map((r) => r[key]));
  const [move, checks] = [best('move'), best('checks')];
  console.log(`node ${process.version} ${process.arch}, best of ${rows.length} rounds`);
  console.log(`InputMouseMove: ${(move / 1000).toFixed(1)} µs per call`);
  console.log(`DPI context + integrity check: ${(checks / 1000).toFixed(2)} µs per call (${((100 * checks) / move).toFixed(1)} % of a move)`);
  process.exit(0);
}

main();
