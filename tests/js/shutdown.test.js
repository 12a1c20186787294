'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { targetAppPath, assertCleanExits } = require('./support');

// A process must end cleanly, with code 0 and no hang, whatever it left running and whichever
// way it ends: by process.exit or by running dry, at once or a little later, with or without
// ProgramWillQuit. Each set-up runs 20 times through those ways. Worker threads posting, every
// callback set, and proxies with frames over another process are the exit stress's set-up
// (exit-stress.test.js).
const setups = {
  'the keyboard hook installed, sometimes with keys coming in': `
    quarnel.HookKeyboardEvent(() => {});
    if (Math.floor(run / 4) % 2) {
      require('node:child_process').spawn(${JSON.stringify(targetAppPath)}, ['--send-keys', '0x25,0x26,0x27,0x28'],
        { stdio: 'ignore' }).unref();
    }`,
  // The module stops its threads in its own exit listener: exports called after that, from a
  // listener added later, must find nothing to use and do nothing.
  'exports called from a later exit listener': `
    quarnel.HookKeyboardEvent(() => {});
    process.on('exit', () => {
      quarnel.HookKeyboardEvent(() => {});
      quarnel.UnHookKeyboardEvent();
      quarnel.WndProxyShowFrame();
      quarnel.WndProxyHideFrame();
      quarnel.SetLogCallBack(() => {});
      quarnel.SetWindowFocus(0);
    });`,
};

for (const [name, setup] of Object.entries(setups)) {
  test(`exits with ${name} end with code 0`, { timeout: 240000 }, async () => {
    const runs = Number(process.env.QUARNEL_EXIT_RUNS || 20);
    await assertCleanExits(Array.from({ length: runs }, (_, run) => `
      const quarnel = require(process.env.QUARNEL_MODULE);
      const addon = require(process.env.QUARNEL_TEST_ADDON);
      const support = require(${JSON.stringify(require.resolve('./support'))});
      const run = ${run};
      (async () => {
        ${setup}
        const end = () => {
          ${run % 2 === 0 ? 'quarnel.ProgramWillQuit(); addon.ProgramWillQuit();' : ''}
          console.log('ending');
          ${run % 4 < 2 ? 'process.exit(0);' : '/* the loop runs dry */'}
        };
        ${run % 3 === 0 ? 'end();' : `setTimeout(end, ${run % 3 === 1 ? 60 : 150});`}
      })();
    `), /ending/);
  });
}

// The many-overlays exit stress, short (tests/stress/overlays-exit.js runs more, and its
// control without the module): 24 proxies asked for at once, their frames, process.exit(3).
test('processes that make 24 proxies and their frames at once and exit end with their code, no heap message, no hang', { timeout: 600000 }, async (t) => {
  const { runOverlaysExit, report } = require('../stress/overlays-exit');
  const runs = Number(process.env.QUARNEL_OVERLAYS_EXIT_RUNS || 10);
  const result = await runOverlaysExit({ runs });
  t.diagnostic(report(result));
  assert.deepEqual({ runs: result.runs, bad: result.bad }, { runs, bad: 0 }, report(result));
});
