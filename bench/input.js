'use strict';
// What a mouse move costs against the floor, a bare SendInput of the same record from the same
// process, the two taking turns in blocks; then what InputMouseMove does before it injects (the
// DPI context, the integrity check of the foreground window, the desktop extent). A window of
// another process is in the foreground, so the check opens that process once. Prints figures;
// asserts nothing.
//   scripts/wine-run node bench/input.js      (QUARNEL_ARCH=ia32 for 32-bit)
const support = require('../tests/js/support');

const addon = support.loadTestAddon();
const bench = addon.test;
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

function perCall(move, iterations) {
  const start = process.hrtime.bigint();
  for (let i = 0; i < iterations; i++) move(150 + (i % 200), 150 + (i % 100));
  return Number(process.hrtime.bigint() - start) / iterations;
}

async function main() {
  const target = await support.startTarget([[100, 100, 400, 300]]);
  addon.SetWindowFocus(target.hwnds[0]);
  await support.sleep(200);
  const contenders = { InputMouseMove: addon.InputMouseMove, 'bare SendInput': bench.benchSendInputMove };
  for (const move of Object.values(contenders)) perCall(move, 200);
  const samples = Object.fromEntries(Object.keys(contenders).map((name) => [name, []]));
  for (let block = 0; block < 20; block++) {
    const names = Object.keys(contenders);
    for (const name of block % 2 ? names.reverse() : names) samples[name].push(perCall(contenders[name], 500));
  }
  const parts = [];
  for (let round = 0; round < 5; round++) parts.push(bench.benchMoveParts(2000));
  await target.stop();
  console.log(`node ${process.version} ${process.arch}, median of 20 blocks of 500 calls each, taking turns`);
  for (const [name, values] of Object.entries(samples)) console.log(`${name.padEnd(16)} ${(median(values) / 1000).toFixed(1).padStart(7)} µs per call`);
  console.log(`ratio InputMouseMove / bare SendInput: ${(median(samples.InputMouseMove) / median(samples['bare SendInput'])).toFixed(2)}x`);
  const part = (i) => (median(parts.map((p) => p[i])) / 1000).toFixed(2);
  console.log(`before the injection, µs per call: DPI context ${part(4)}, integrity check ${part(5)}, desktop extent ${part(6)}`);
  console.log(`probe: SendInput ${part(0)}, in DPI scope ${part(1)}, SM_CMONITORS ${part(2)}, desktop rect ${part(3)}`);
  process.exit(0);
}

main();
