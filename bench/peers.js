'use strict';
// The module beside its peers, robotjs and libnut, on one machine in one run: the cost of an
// absolute mouse move (with a bare SendInput of the same record as the floor), of a foreground
// window query, of loading the module (require in a fresh node process), and the module's event
// throughput. Contenders take turns in blocks, so a change in the machine's load weighs on all
// alike. Prints figures; asserts nothing; never part of the test suite.
//
//   node bench/peers.js fetch                  on the host: npm pack of the peers into build/peers
//   scripts/wine-run node bench/peers.js       (QUARNEL_ARCH=ia32 for 32-bit)
//
// The peers' Windows binaries ship in their npm packages: robotjs 0.9.1 (x64 only), its fork
// @jitsi/robotjs 0.6.24 (x64 and ia32), and libnut's @nut-tree-fork/libnut-win32 2.7.5 (x64 only).
const fs = require('node:fs');
const path = require('node:path');
const { spawnSync } = require('node:child_process');

const repo = path.resolve(__dirname, '..');
const peersDir = path.join(repo, 'build', 'peers');
const PEERS = [
  { name: 'robotjs', spec: 'robotjs@0.9.1', binary: { x64: 'prebuilds/win32-x64/node.napi.node' } },
  {
    name: '@jitsi/robotjs',
    spec: '@jitsi/robotjs@0.6.24',
    binary: { x64: 'prebuilds/win32-x64/@jitsi+robotjs.node', ia32: 'prebuilds/win32-ia32/@jitsi+robotjs.node' },
  },
  { name: 'libnut', spec: '@nut-tree-fork/libnut-win32@2.7.5', binary: { x64: 'build/Release/libnut.node' } },
];
const peerDir = (peer) => path.join(peersDir, peer.spec.replace(/[@/]/g, '_'));

function fetchPeers() {
  fs.mkdirSync(peersDir, { recursive: true });
  for (const peer of PEERS) {
    const dir = peerDir(peer);
    if (fs.existsSync(path.join(dir, 'package', 'package.json'))) continue;
    const packed = spawnSync('npm', ['pack', peer.spec, '--silent', '--pack-destination', peersDir], { encoding: 'utf8' });
    if (packed.status !== 0) throw new Error(`npm pack ${peer.spec}: ${packed.stderr}`);
    fs.mkdirSync(dir, { recursive: true });
    const tarball = path.join(peersDir, packed.stdout.trim().split('\n').pop());
    const unpacked = spawnSync('tar', ['xzf', tarball, '-C', dir], { encoding: 'utf8' });
    if (unpacked.status !== 0) throw new Error(`tar ${tarball}: ${unpacked.stderr}`);
    fs.rmSync(tarball);
    console.log(`${peer.spec} -> ${dir}`);
  }
}

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Runs each contender `blocks` times for `calls` calls, in turns that change order every block;
// answers the median ns per call of each.
function inTurns(contenders, blocks, calls) {
  const names = Object.keys(contenders);
  const samples = Object.fromEntries(names.map((name) => [name, []]));
  for (const name of names) for (let i = 0; i < 50; i++) contenders[name](i);
  for (let block = 0; block < blocks; block++) {
    for (const name of block % 2 ? names.slice().reverse() : names) {
      const start = process.hrtime.bigint();
      for (let i = 0; i < calls; i++) contenders[name](i);
      samples[name].push(Number(process.hrtime.bigint() - start) / calls);
    }
  }
  return Object.fromEntries(names.map((name) => [name, median(samples[name])]));
}

// ns that require() of `file` takes in a fresh node process, `runs` times per file, in turns.
function loadTimes(files, runs) {
  const samples = Object.fromEntries(Object.keys(files).map((name) => [name, []]));
  const names = Object.keys(files);
  for (let run = 0; run < runs; run++) {
    for (const name of run % 2 ? names.slice().reverse() : names) {
      const source = `const t = process.hrtime.bigint(); require(${JSON.stringify(files[name])});` +
        `console.log(String(process.hrtime.bigint() - t));`;
      const child = spawnSync(process.execPath, ['-e', source], { encoding: 'utf8' });
      const ns = Number((child.stdout || '').trim());
      if (child.status === 0 && ns > 0) samples[name].push(ns);
    }
  }
  // The least is shown too: on a shared machine it is the steadier of the two.
  return Object.fromEntries(names.map((name) => [name, samples[name].length
    ? { median: median(samples[name]), least: Math.min(...samples[name]) } : { median: NaN, least: NaN }]));
}

async function eventThroughput(bench) {
  const run = async (start, count) => {
    start(() => bench.benchCount(), count, 64);
    while (!bench.benchIsDone()) await sleep(1);
    return bench.benchTakeResult().totalNs;
  };
  const totals = { queue: 0, tsfn: 0 };
  await run(bench.benchQueueRun, 10000);
  await run(bench.benchTsfnRun, 10000);
  for (let slice = 0; slice < 4; slice++) {
    for (const kind of slice % 2 ? ['tsfn', 'queue'] : ['queue', 'tsfn']) {
      totals[kind] += await run(kind === 'queue' ? bench.benchQueueRun : bench.benchTsfnRun, 25000);
    }
  }
  return { queue: 100000 / (totals.queue / 1e9), tsfn: 100000 / (totals.tsfn / 1e9) };
}

async function main() {
  const support = require('../tests/js/support');
  const arch = process.arch;
  const peers = PEERS.map((peer) => ({ ...peer, file: peer.binary[arch] && path.join(peerDir(peer), 'package', peer.binary[arch]) }));
  const missing = peers.filter((peer) => !peer.file || !fs.existsSync(peer.file));
  const present = peers.filter((peer) => !missing.includes(peer));
  const modulePath = path.join(repo, process.env.QUARNEL_BUILD || `build/win-${arch}`, 'Quarnel.node');

  // Load first, while this process has loaded none of them.
  const loads = loadTimes({ Quarnel: modulePath, ...Object.fromEntries(present.map((peer) => [peer.name, peer.file])) }, 9);

  const addon = support.loadTestAddon();
  const bench = addon.test;
  const target = await support.startTarget([[100, 100, 400, 300]]);
  addon.SetWindowFocus(target.hwnds[0]);
  await sleep(200);
  const modules = Object.fromEntries(present.map((peer) => [peer.name, require(peer.file)]));
  for (const m of Object.values(modules)) if (typeof m.setMouseDelay === 'function') m.setMouseDelay(0);
  // The same 200 points for every contender, all inside the target window.
  const point = (i) => [150 + (i % 200), 150 + ((i * 7) % 100)];
  const moves = {
    'bare SendInput': (i) => bench.benchSendInputMove(...point(i)),
    InputMouseMove: (i) => addon.InputMouseMove(...point(i)),
    ...Object.fromEntries(Object.entries(modules).map(([name, m]) => [name, (i) => m.moveMouse(...point(i))])),
  };
  const move = inTurns(moves, 20, 200);
  const foregrounds = {
    GetCurrentForegroundWindow: () => addon.GetCurrentForegroundWindow(),
    ...(modules.libnut ? { 'libnut getActiveWindow': () => modules.libnut.getActiveWindow() } : {}),
  };
  const foreground = inTurns(foregrounds, 20, 2000);
  await target.stop();
  const events = await eventThroughput(bench);

  const us = (ns) => (ns / 1000).toFixed(1).padStart(8);
  console.log(`node ${process.version} ${arch}; medians; contenders in turns`);
  for (const peer of missing) console.log(`${peer.name}: no win32-${arch} binary in its npm package${peer.binary[arch] ? ' (not fetched: node bench/peers.js fetch)' : ''}`);
  console.log('absolute mouse move, µs per call (20 blocks of 200):');
  for (const [name, ns] of Object.entries(move)) {
    console.log(`  ${name.padEnd(28)}${us(ns)}  ${(ns / move['bare SendInput']).toFixed(2)}x the bare SendInput`);
  }
  console.log('foreground window query, µs per call (20 blocks of 2000):');
  for (const [name, ns] of Object.entries(foreground)) console.log(`  ${name.padEnd(28)}${us(ns)}`);
  if (!modules.libnut) console.log('  (robotjs has no foreground query)');
  console.log('require() in a fresh process, ms (9 each): median, least');
  for (const [name, { median: mid, least }] of Object.entries(loads)) {
    console.log(`  ${name.padEnd(28)}${(mid / 1e6).toFixed(2).padStart(8)}${(least / 1e6).toFixed(2).padStart(8)}`);
  }
  console.log(`events from a worker thread to a callback, events/s: module queue ${Math.round(events.queue)}, ` +
    `threadsafe function ${Math.round(events.tsfn)} (${(events.queue / events.tsfn).toFixed(2)}x)`);
  process.exit(0);
}

if (process.argv[2] === 'fetch') fetchPeers();
else main();
