'use strict';
// Event delivery from a worker thread to a JavaScript callback: the module's queue against
// Node's napi_threadsafe_function with the same payload, plus the cost of a log statement
// with no log callback set, with one set (on one thread and on four at once), and after one
// was cleared. Three rounds; prints each and the medians as ratios (queue over thread-safe
// function). Asserts nothing.
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

// Events/s with up to 64 in flight (the callback only counts).
async function throughput(kind, events) {
  return (await run(kind, events, 64, bench.benchCount)).totalNs;
}

// Latencies of one event at a time (the callback reads the clock), the two mechanisms taking
// turns event by event: a moment the machine leaves a thread unscheduled falls on both alike.
async function pairedLatencies(samples) {
  bench.benchPairRun(() => bench.benchAck(), () => bench.benchAck(), 2 * samples);
  while (!bench.benchIsDone()) await sleep(1);
  const all = bench.benchTakeResult().latencies;
  return { queue: all.filter((_, i) => i % 2 === 0), tsfn: all.filter((_, i) => i % 2 === 1) };
}

// One round: 100,000 events per mechanism, measured in four slices that take turns (queue, fn,
// fn, queue, ...), so that a change in the machine's load during the round weighs on both
// alike; then 10,000 latency samples of each, taken in turns.
async function round(order) {
  const slices = 4;
  const totalNs = { queue: 0, tsfn: 0 };
  for (let i = 0; i < slices; i++) {
    for (const kind of i % 2 ? order.slice().reverse() : order) totalNs[kind] += await throughput(kind, 100000 / slices);
  }
  const latencies = await pairedLatencies(10000);
  const result = {};
  for (const kind of order) {
    const sorted = latencies[kind].sort((a, b) => a - b);
    result[kind] = {
      eventsPerSecond: 100000 / (totalNs[kind] / 1e9),
      p50us: percentile(sorted, 50) / 1000,
      p99us: percentile(sorted, 99) / 1000,
    };
  }
  return result;
}

// The two sides of one event, apart: a worker posts a burst of 100 while the JavaScript thread
// waits for it (worker ns per post), then the JavaScript thread is timed until the last one
// arrived (its ns per event, one wake-up included).
async function burst(kind) {
  const count = 100;
  let got = 0;
  let done;
  const arrived = new Promise((resolve) => (done = resolve));
  const postNs = bench.benchBurstRun(kind === 'tsfn', () => ++got === count && done(), count);
  const start = process.hrtime.bigint();
  await arrived;
  return { postNs, deliverNs: Number(process.hrtime.bigint() - start) / count };
}

async function bursts(order) {
  // Neither the module's wake-up handle nor the thread-safe function keeps the loop alive.
  const keepAlive = setInterval(() => {}, 1000);
  const samples = {};
  for (const kind of order) samples[kind] = { postNs: [], deliverNs: [] };
  for (let i = 0; i < 200; i++) {
    for (const kind of i % 2 ? order.slice().reverse() : order) {
      const b = await burst(kind);
      samples[kind].postNs.push(b.postNs);
      samples[kind].deliverNs.push(b.deliverNs);
    }
  }
  clearInterval(keepAlive);
  return samples;
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
  await throughput('queue', 25000);
  await throughput('tsfn', 25000);
  await pairedLatencies(1250);
  const rounds = [];
  // Which one starts alternates too.
  for (let i = 0; i < 3; i++) rounds.push(await round(i % 2 ? ['tsfn', 'queue'] : ['queue', 'tsfn']));

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
  const split = await bursts(['queue', 'tsfn']);
  for (const [kind, name] of [['queue', 'module queue'], ['tsfn', 'threadsafe fn']]) {
    console.log(`${name}, median of 200 bursts of 100: post ${median(split[kind].postNs).toFixed(0)} ns ` +
      `(worker), delivery ${median(split[kind].deliverNs).toFixed(0)} ns (JavaScript thread) per event`);
  }
  console.log(`baseline: calling an export that does nothing: ${exportCall.toFixed(1)} ns`);
  console.log(`log statement, no log callback set: ${idleLog.toFixed(2)} ns`);

  // With a callback set, each statement builds and posts a record; nothing is delivered while
  // the loop runs, so beyond the log lane's 512 each post also drops the oldest record.
  addon.SetLogCallBack(() => {});
  bench.benchLogSiteCost(10000);
  const postedLog = bench.benchLogSiteCost(1000000, 1);
  const contendedLog = bench.benchLogSiteCost(250000, 4);
  addon.UnSetLogCallBack();
  console.log(`log statement, log callback set: ${postedLog.toFixed(1)} ns; ` +
    `four threads logging at once: ${contendedLog.toFixed(1)} ns each`);
  const clearedLog = bench.benchLogSiteCost(iterations);
  console.log(`log statement after a log callback was set and cleared: ${clearedLog.toFixed(2)} ns`);
  process.exit(0);
}

main();
