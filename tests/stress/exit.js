'use strict';
// Exit stress: many short-lived processes, each with the keyboard hook live and keys coming in,
// three proxy windows with frames over another process's window, every callback set and log
// records flooding in, each ending in one of nine ways. Counts the runs that hung (no end within
// the bound) and the ones that ended with another exit code than their ending gives.
//
//   scripts/wine-run node tests/stress/exit.js [--runs N] [--endings natural,exit,...]
//
// Run i ends the way endings[i % endings.length] says, so 27 runs end 3 times each way.
const { execFile } = require('node:child_process');
const support = require('../js/support');

const HANG_MS = 10000;

// name: [expected exit code, what the run does once it is set up and flooding]
const ENDINGS = {
  // Nothing keeps the loop alive once the flood stops: the process runs dry.
  natural: [0, `flood.stop(); console.log('ending natural');`],
  'process.exit': [5, `flood.once(() => { console.log('ending process.exit'); process.exit(5); });`],
  'ProgramWillQuit': [6, `quarnel.ProgramWillQuit(); addon.ProgramWillQuit(); console.log('ending ProgramWillQuit');
    process.exit(6);`],
  // Thrown from a log callback: it reaches the host's uncaught-exception handling through the
  // module's queue, which ends the process with code 1.
  uncaught: [1, `quarnel.SetLogCallBack(() => { throw new Error('ending uncaught from a log callback'); });`],
  'unhook-close': [8, `flood.stop();
    quarnel.UnHookKeyboardEvent();
    quarnel.WndProxyCloseAllWindow(parent);
    quarnel.WndProxyHideFrame();
    quarnel.UnSetLogCallBack();
    console.log('ending unhook-close');
    process.exit(8);`],
  'creating-proxy': [9, `quarnel.WndProxyCreateProxyWindow(parent, 200, 60, 40, 40, () => {});
    console.log('ending creating-proxy');
    process.exit(9);`],
  // A new hook whose thread is still starting.
  'hook-starting': [10, `quarnel.UnHookKeyboardEvent();
    quarnel.HookKeyboardEvent(() => events++);
    console.log('ending hook-starting');
    process.exit(10);`],
  // ProgramWillQuit keeps every reference it would release: none of them may keep the loop alive.
  'quit-dry': [0, `flood.stop(); quarnel.ProgramWillQuit(); addon.ProgramWillQuit(); console.log('ending quit-dry');`],
  // The module stops its threads in its own exit listener: exports called after that, from a
  // listener added later, must find nothing to use and do nothing.
  'late-listener': [11, `process.on('exit', () => {
      quarnel.HookKeyboardEvent(() => {});
      quarnel.UnHookKeyboardEvent();
      quarnel.WndProxyShowFrame();
      quarnel.WndProxyHideFrame();
      quarnel.SetLogCallBack(() => {});
      quarnel.SetWindowFocus(0);
    });
    console.log('ending late-listener');
    process.exit(11);`],
};

// Three of each ending.
const DEFAULT_RUNS = 3 * Object.keys(ENDINGS).length;

function childSource(ending) {
  return `
    const quarnel = require(process.env.QUARNEL_MODULE);
    const addon = require(process.env.QUARNEL_TEST_ADDON);
    const { waitFor } = require(${JSON.stringify(require.resolve('../js/support'))});
    const parent = Number(process.env.QUARNEL_STRESS_PARENT);
    (async () => {
      let records = 0;
      let events = 0;
      quarnel.SetLogCallBack(() => records++);
      quarnel.HookKeyboardEvent(() => events++);
      quarnel.WndProxySetFocusCB(() => events++);
      quarnel.WndProxySetBlurCB(() => events++);
      quarnel.WndProxySetWindowCloseCB(() => events++);
      // Worker threads of the test add-on (the module's own code) post events and log records.
      addon.SetLogCallBack(() => records++);
      addon.test.startBackgroundPosting(() => events++, 2);
      const proxies = [];
      for (let i = 0; i < 3; i++) {
        quarnel.WndProxyCreateProxyWindow(parent, 60 + 50 * i, 60, 40, 40, ({ hwnd }) => proxies.push(hwnd));
      }
      if (!(await waitFor(() => proxies.length === 3, 5000))) {
        console.log('set-up failed: ' + proxies.length + ' proxies');
        process.exit(20);
      }
      quarnel.WndProxyShowFrame();
      require('node:child_process').spawn(${JSON.stringify(support.targetAppPath)}, ['--send-keys', '0x25,0x26,0x27,0x28'],
        { stdio: 'ignore' }).unref();
      // The flood: every SetWindowFocus(0) writes one log record on the JavaScript thread.
      // flood.once(f) runs f right after a burst, mid-flood.
      const waiting = [];
      const interval = setInterval(() => {
        for (let i = 0; i < 100; i++) quarnel.SetWindowFocus(0);
        waiting.splice(0).forEach((f) => f());
      }, 1);
      const flood = { once: (f) => waiting.push(f), stop: () => clearInterval(interval) };
      if (!(await waitFor(() => records > 300, 5000))) {
        console.log('set-up failed: ' + records + ' log records');
        process.exit(21);
      }
      ${ending}
    })();
  `;
}

// The threads of a hung child, from the debugger that ships with Wine (empty elsewhere): where it
// hangs is what tells the cause.
function threadsOf(pid) {
  return new Promise((resolve) => {
    // Every process's threads, filtered below: Wine 10's debugger, given a pid, attaches to it
    // and then cannot trace the others.
    execFile('winedbg', ['--command', 'bt all'], { timeout: 60000, maxBuffer: 64 << 20 },
      (error, stdout) => {
        const own = `in process ${pid.toString(16).padStart(4, '0')} `;
        resolve((stdout || '').split(/\n(?=Backtracing for thread )/).filter((t) => t.includes(own)).join('\n'));
      });
  });
}

// Runs the stress; resolves with { runs, hangs, unexpected, byEnding, failures, seconds }.
async function runExitStress({ runs = DEFAULT_RUNS, endings = Object.keys(ENDINGS), print = () => {} } = {}) {
  const started = Date.now();
  const target = await support.startTarget([[40, 40, 400, 200]]);
  const byEnding = Object.fromEntries(endings.map((name) => [name, { runs: 0, hangs: 0, unexpected: 0, ms: 0 }]));
  const failures = [];
  try {
    for (let run = 0; run < runs; run++) {
      const name = endings[run % endings.length];
      const [code, body] = ENDINGS[name];
      const begin = Date.now();
      const result = await support.runScript(childSource(body), {
        timeoutMs: HANG_MS,
        env: { QUARNEL_STRESS_PARENT: String(target.hwnds[0]) },
        onTimeout: threadsOf,
      });
      const row = byEnding[name];
      row.runs++;
      row.ms += Date.now() - begin;
      const marked = result.output.includes(`ending ${name}`);
      if (result.timedOut) row.hangs++;
      else if (result.code !== code || !marked) row.unexpected++;
      if (result.timedOut || result.code !== code || !marked) {
        failures.push({ run, ending: name, code: result.code, expected: code, hung: result.timedOut,
          output: result.output.slice(-400), threads: result.hang || '' });
      }
      print(`run ${run + 1}/${runs} ${name}: ${result.timedOut ? 'hung' : `code ${result.code}`} in ${Date.now() - begin} ms`);
    }
  } finally {
    await target.stop();
  }
  const total = (key) => Object.values(byEnding).reduce((sum, row) => sum + row[key], 0);
  return { runs: total('runs'), hangs: total('hangs'), unexpected: total('unexpected'), byEnding, failures,
    seconds: (Date.now() - started) / 1000 };
}

function report(result) {
  const lines = ['ending            runs  hangs  unexpected  mean s'];
  for (const [name, row] of Object.entries(result.byEnding)) {
    lines.push(`${name.padEnd(16)} ${String(row.runs).padStart(5)} ${String(row.hangs).padStart(6)} ` +
      `${String(row.unexpected).padStart(11)} ${(row.ms / Math.max(row.runs, 1) / 1000).toFixed(2).padStart(7)}`);
  }
  lines.push(`runs ${result.runs}, hangs ${result.hangs}, unexpected exit codes ${result.unexpected}, ` +
    `${result.seconds.toFixed(1)} s`);
  for (const f of result.failures) {
    lines.push(`run ${f.run} (${f.ending}): ${f.hung ? 'hung' : `code ${f.code}, expected ${f.expected}`}: ${f.output}`);
    if (f.threads) lines.push(`threads of the hung run:\n${f.threads}`);
  }
  return lines.join('\n');
}

module.exports = { ENDINGS, runExitStress, report };

if (require.main === module) {
  const options = support.parseOptions(process.argv.slice(2), { runs: DEFAULT_RUNS, endings: Object.keys(ENDINGS) });
  for (const name of options.endings) if (!ENDINGS[name]) throw new Error(`unknown ending ${name}`);
  support.runStress(runExitStress, report, (result) => result.hangs || result.unexpected, options);
}
