'use strict';
// Event delivery from a worker thread to a JavaScript callback: the module's queue against
// Node's napi_threadsafe_function with the same payload, plus the cost of a log statement
// while no log callback is set. Prints figures; asserts nothing.
//   [QUARNEL_ARCH=ia32] scripts/wine-run node bench/events.js
const path = require('node:path');

const buildDir = path.resolve(__dirname, '..', process.env.QUARNEL_BUILD || `build/win-${process.arch}`);
const addon = require(path.join(buildDir, 'tests', 'windows', 'quarnel_test.node'));
const bench = addon.test;

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function run(kind, count, window) {
  const start = kind === 'queue' ? bench.benchQueueRun : bench.benchTsfnRun;
  start(() => bench.benchAck(), count, window);
  while (!bench.benchIsDone()) await sleep(1);
  return bench.benchTakeResult();
}

function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.floor((p / 100) * sorted.length))];
}

async function main() {
  // Measured first, while no log callback has ever been set in this process.
  const iterations = 2000000;
  bench.benchLogSiteCost(10000);
  const idleLog = bench.benchLogSiteCost(iterations);

  const rows = [];
  for (const kind of ['queue', 'tsfn', 'queue', 'tsfn']) {
    const throughput = await run(kind, 100000, 64);
    const latency = await run(kind, 5000, 1);
    const sorted = latency.latencies.slice().sort((a, b) => a - b);
    rows.push({
      kind,
      eventsPerSecond: Math.round(100000 / (throughput.totalNs / 1e9)),
      p50us: (percentile(sorted, 50) / 1000).toFixed(1),
      p99us: (percentile(sorted, 99) / 1000).toFixed(1),
    });
  }
  // Keep the second (warm) run of each.
  const warm = rows.slice(2);
  console.log(`node ${process.version} ${process.arch}`);
  console.log('delivery        events/s   p50 µs   p99 µs');
  for (const r of warm) {
    const name = r.kind === 'queue' ? 'module queue' : 'threadsafe fn';
    console.log(`${name.padEnd(14)} ${String(r.eventsPerSecond).padStart(9)} ${r.p50us.padStart(8)} ${r.p99us.padStart(8)}`);
  }
  console.log(`log statement, no log callback set: ${idleLog.toFixed(2)} ns`);

  addon.SetLogCallBack(() => {});
  addon.UnSetLogCallBack();
  const queuedLog = bench.benchLogSiteCost(200000);
  console.log(`log statement after a log callback was set and cleared (record built and queued): ${queuedLog.toFixed(0)} ns`);
  process.exit(0);
}

main();
