'use strict';
// Proxy creation: 24 proxies asked for at once over another process's window, the time from the
// first ask until the last created callback. Every sample is a fresh process (the first round,
// which also pays for each new thread's first window) followed by warm rounds in the same
// process (all closed, then 24 asked for again). With several module files they take turns
// process by process, so a busy moment of the machine falls on each alike. Prints the medians
// and quartiles per module; asserts nothing.
//
//   scripts/wine-run node bench/proxies.js [--processes N] [--rounds N] [module.node ...]
//
// With no module named, the build's Quarnel.node (QUARNEL_BUILD, as the tests).
const path = require('node:path');
const { spawn } = require('node:child_process');
const support = require('../tests/js/support');

const PROXIES = 24;

const childSource = `
  const quarnel = require(process.env.QUARNEL_MODULE);
  const parent = Number(process.env.QUARNEL_BENCH_PARENT);
  const rounds = Number(process.env.QUARNEL_BENCH_ROUNDS);
  const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
  (async () => {
    const times = [];
    for (let round = 0; round < rounds; round++) {
      let made = 0;
      let failed = 0;
      const started = process.hrtime.bigint();
      let ended = started;
      for (let i = 0; i < ${PROXIES}; i++) {
        quarnel.WndProxyCreateProxyWindow(parent, 60 + 12 * i, 60, 10, 40, ({ hwnd }) => {
          if (hwnd === 4294967295) failed++; else made++;
          ended = process.hrtime.bigint();
        });
      }
      const deadline = Date.now() + 10000;
      while (made + failed < ${PROXIES} && Date.now() < deadline) await sleep(1);
      times.push(made === ${PROXIES} ? Number(ended - started) / 1e6 : null);
      quarnel.WndProxyCloseAllWindow(parent);
      // The closed proxies' threads end meanwhile, so the next round starts from none.
      await sleep(400);
    }
    console.log('TIMES ' + JSON.stringify(times));
    process.exit(0);
  })();
`;

function runChild(modulePath, parent, rounds) {
  return new Promise((resolve) => {
    const child = spawn(process.execPath, ['-e', childSource], {
      stdio: ['ignore', 'pipe', 'pipe'],
      env: {
        ...process.env,
        QUARNEL_MODULE: modulePath,
        QUARNEL_BENCH_PARENT: String(parent),
        QUARNEL_BENCH_ROUNDS: String(rounds),
      },
    });
    let output = '';
    child.stdout.on('data', (d) => (output += d));
    child.stderr.on('data', (d) => (output += d));
    // A round gives up after 10 s; a process that crashed may sit under the crash debugger.
    const timer = setTimeout(() => child.kill(), 10000 + rounds * 11000);
    child.on('close', () => {
      clearTimeout(timer);
      const line = /TIMES (.*)/.exec(output);
      resolve(line ? JSON.parse(line[1]) : null);
    });
  });
}

function quartiles(values) {
  const sorted = values.filter((v) => v !== null).sort((a, b) => a - b);
  if (!sorted.length) return 'no sample';
  const at = (p) => sorted[Math.min(sorted.length - 1, Math.floor(p * sorted.length))];
  return `median ${at(0.5).toFixed(0)} ms (quartiles ${at(0.25).toFixed(0)}-${at(0.75).toFixed(0)}, n ${sorted.length})`;
}

async function main() {
  const options = { processes: 15, rounds: 4, modules: [] };
  const argv = process.argv.slice(2);
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--processes') options.processes = Number(argv[++i]);
    else if (argv[i] === '--rounds') options.rounds = Number(argv[++i]);
    else options.modules.push(path.resolve(argv[i]));
  }
  if (!options.modules.length) {
    options.modules.push(path.resolve(path.dirname(support.targetAppPath), '..', '..', 'Quarnel.node'));
  }
  const results = options.modules.map(() => ({ first: [], warm: [], lost: 0 }));
  const target = await support.startTarget([[40, 40, 400, 200]]);
  try {
    for (let p = 0; p < options.processes; p++) {
      for (let m = 0; m < options.modules.length; m++) {
        const times = await runChild(options.modules[m], target.hwnds[0], options.rounds);
        if (!times) {
          results[m].lost++;
          continue;
        }
        results[m].first.push(times[0]);
        results[m].warm.push(...times.slice(1));
      }
    }
  } finally {
    await target.stop();
  }
  console.log(`${PROXIES} proxies asked for at once, until the last created callback (${process.arch}):`);
  options.modules.forEach((modulePath, m) => {
    const r = results[m];
    console.log(`${modulePath}`);
    console.log(`  fresh process: ${quartiles(r.first)}`);
    console.log(`  warm rounds:   ${quartiles(r.warm)}${r.lost ? `; ${r.lost} processes gave no figures` : ''}`);
  });
}

main().catch((error) => {
  console.log(error.stack);
  process.exitCode = 1;
});
