'use strict';
// Event delivery from a worker thread to a JavaScript callback: the module's queue against
// Node's napi_threadsafe_function with the same payload, plus the cost of a log statement
// with no log callback set. Three rounds; prints each and the medians as ratios (queue over
// thread-safe function). Asserts nothing.
//   scripts/wine-run node bench/events.js      (QUARNEL_ARCH=ia32 for 32-bit)
const path = require('node:path');

const buildDir = path.resolve(__dirname, '..', process.env.QUARNEL_BUILD || `build/win-${process.arch}`);
const addon = require(path.join(buildDir, 'tests', 'windows', 'quarnel_test.node'));
const bench = addon.test;

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function run(kind, count, window, ack) {
  const start = kind === 'queue' ? bench.benchQueueRun : bench.benchTsfnRun;
  start(() => ack(), count, window);
  while (!bench.benchIsDone()) await sleep(1);
  return bench.benchTakeResult();
}

function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.floor((p / 100) * sorted.length))];
}

// One round: events/s with up to 64 in flight (the callback only counts), then p50/p99 of
// one event at a time (the callback reads the clock).
async function round(kind) {
  const throughput = await run(kind, 100000, 64, bench.benchCount);
  const latency = await run(kind, 5000, 1, bench.benchAck);
  const sorted = latency.latencies.slice().sort((a, b) => a - b);
  return {
    eventsPerSecond: 100000 / (throughput.totalNs / 1e9),
    p50us: percentile(sorted, 50) / 1000,
    p99us: percentile(sorted, 99) / 1000,
  };
}

function callCost(fn, iterations) {
  const start = process.hrtime.bigint();
  for (let i = 0; i < iterations; i++) fn();
  return Number(process.hrtime.bigint() - start) / iterations;
}

async function main() {
  // Measured first, while no log callback has ever been set in this process.
  const iterations = 20000000;
  bench.benchLogSiteCost(10000);
  const idleLog = bench.benchLogSiteCost(iterations);
  callCost(bench.benchNothing, 100000);
  const exportCall = callCost(bench.benchNothing, 1000000);

  // Warm-up, not counted.
  await round('queue');
  await round('tsfn');
  const rounds = [];
  // The order alternates, so that a load drifting over the run favours neither.
  for (let i = 0; i < 3; i++) {
    const r = {};
    for (const kind of i % 2 ? ['tsfn', 'queue'] : ['queue', 'tsfn']) r[kind] = await round(kind);
    rounds.push(r);
  }

  console.log(`node ${process.version} ${process.arch}`);
  console.log('round  delivery        events/s   p50 µs   p99 µs');
  rounds.forEach((r, i) => {
    for (const [kind, name] of [['queue', 'module queue'], ['tsfn', 'threadsafe fn']]) {
      const m = r[kind];
      console.log(`${String(i + 1).padEnd(6)} ${name.padEnd(14)} ${String(Math.round(m.eventsPerSecond)).padStart(9)}` +
        ` ${m.p50us.toFixed(1).padStart(8)} ${m.p99us.toFixed(1).padStart(8)}`);
    }
  });
  const ratio = (field) => median(rounds.map((r) => r.queue[field] / r.tsfn[field])).toFixed(2);
  console.log(`median ratio, queue / threadsafe fn: throughput ${ratio('eventsPerSecond')}x, ` +
    `p50 ${ratio('p50us')}x, p99 ${ratio('p99us')}x`);
  console.log(`baseline: calling an export that does nothing: ${exportCall.toFixed(1)} ns`);
  console.log(`log statement, no log callback set: ${idleLog.toFixed(2)} ns`);

  addon.SetLogCallBack(() => {});
  addon.UnSetLogCallBack();
  const clearedLog = bench.benchLogSiteCost(iterations);
  console.log(`log statement after a log callback was set and cleared: ${clearedLog.toFixed(2)} ns`);
  process.exit(0);
}

main();
