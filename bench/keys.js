'use strict';
// Key release to JavaScript: from just before SendInput releases the Left arrow (on a thread of
// this process) to the listener's callback, for the module's keyboard hook and, when
// QUARNEL_UIOHOOK names the Windows prebuild of uiohook-napi (uiohook-napi.node, taken from its
// npm package), for that library, with the same injector in the same run. Listeners take
// turns of 25 keys, one at a time, round by round, so that the machine's slower moments fall on
// all of them alike; keys 15 ms apart, then in bursts (no pause). Prints
// p50 and p99 per listener; asserts nothing. QUARNEL_KEYS_BEFORE names the test add-on
// (quarnel_test.node) of another build of the module, to compare it in the same run.
//   QUARNEL_UIOHOOK=/path/to/uiohook-napi.node scripts/wine-run node bench/keys.js [rounds]
const path = require('node:path');
const support = require('../tests/js/support');

const buildDir = path.resolve(__dirname, '..', process.env.QUARNEL_BUILD || `build/win-${process.arch}`);
const addon = require(path.join(buildDir, 'tests', 'windows', 'quarnel_test.node'));
const bench = addon.test;
const VK_LEFT = 0x25;
const KEY_RELEASED = 5; // uiohook's event type

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const percentile = (sorted, p) => sorted[Math.min(sorted.length - 1, Math.floor((p / 100) * sorted.length))];

const listeners = [
  {
    name: 'this module',
    start: () => addon.HookKeyboardEvent(() => bench.keyArrived()),
    stop: () => addon.UnHookKeyboardEvent(),
  },
];
if (process.env.QUARNEL_KEYS_BEFORE) {
  const before = require(path.resolve(process.env.QUARNEL_KEYS_BEFORE));
  listeners.push({
    name: 'module, before',
    start: () => before.HookKeyboardEvent(() => bench.keyArrived()),
    stop: () => before.UnHookKeyboardEvent(),
  });
}
if (process.env.QUARNEL_UIOHOOK) {
  const uiohook = require(path.resolve(process.env.QUARNEL_UIOHOOK));
  listeners.push({
    name: 'uiohook-napi',
    start: () =>
      uiohook.start((event) => {
        if (event.type === KEY_RELEASED) bench.keyArrived();
      }),
    stop: () => uiohook.stop(),
  });
}

async function measure(listener, count, intervalMs) {
  listener.start();
  await sleep(50);
  bench.injectKeys(VK_LEFT, count, intervalMs);
  let latencies;
  while (!(latencies = bench.keyLatencies())) await sleep(5);
  await sleep(30);
  latencies = bench.keyLatencies();
  listener.stop();
  await sleep(20);
  return latencies;
}

async function main() {
  // Keys go to a window of another process, as on a desktop, where some window always has the
  // focus (Wine delivers keyboard raw input only while one has).
  const target = await support.startTarget([[100, 100, 400, 300]]);
  addon.SetWindowFocus(target.hwnds[0]);
  await sleep(200);
  const rounds = Number(process.argv[2] || 16);
  const modes = [
    { name: '15 ms apart', count: 25, interval: 15 },
    { name: 'bursts', count: 25, interval: 0 },
  ];
  console.log(`node ${process.version} ${process.arch}, ${rounds} rounds per listener and mode`);
  console.log('mode         listener         keys   lost   p50 µs   p99 µs');
  for (const mode of modes) {
    const samples = listeners.map(() => []);
    const lost = listeners.map(() => 0);
    for (let round = 0; round < rounds; round++) {
      // Turns alternate, so neither listener always follows the other.
      const order = round % 2 === 0 ? [...listeners.keys()] : [...listeners.keys()].reverse();
      for (const i of order) {
        const got = await measure(listeners[i], mode.count, mode.interval);
        samples[i].push(...got);
        lost[i] += mode.count - got.length;
      }
    }
    listeners.forEach((listener, i) => {
      const sorted = samples[i].slice().sort((a, b) => a - b);
      console.log(
        `${mode.name.padEnd(12)} ${listener.name.padEnd(16)} ${String(sorted.length).padStart(5)} ${String(lost[i]).padStart(6)} ` +
          `${percentile(sorted, 50).toFixed(1).padStart(8)} ${percentile(sorted, 99).toFixed(1).padStart(8)}`,
      );
    });
  }
  await target.stop();
  process.exit(0);
}

main();
