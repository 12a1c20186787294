'use strict';
const test = require('node:test');
const { assertCleanExits } = require('./support');

// The process must end cleanly while worker threads keep posting events and log records,
// whichever way it ends: with or without ProgramWillQuit, by process.exit or by running dry.
test('20 exits with callbacks set, events queued and threads posting all end with code 0', async () => {
  const scripts = Array.from({ length: 20 }, (_, run) => `
    const quarnel = require(process.env.QUARNEL_MODULE);
    const addon = require(process.env.QUARNEL_TEST_ADDON);
    let delivered = 0;
    quarnel.SetLogCallBack(() => delivered++);
    quarnel.WndProxySetFocusCB(() => {});
    addon.SetLogCallBack(() => delivered++);
    addon.test.startBackgroundPosting(() => delivered++, 4);
    setTimeout(() => {
      ${run % 2 === 0 ? 'quarnel.ProgramWillQuit(); addon.ProgramWillQuit();' : ''}
      console.log('delivered ' + (delivered > 0));
      ${run % 4 < 2 ? 'process.exit(0);' : '/* the loop runs dry */'}
    }, 150);
  `);
  await assertCleanExits(scripts, /delivered true/, 15000);
});
