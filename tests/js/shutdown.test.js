'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { runScript } = require('./support');

// The process must end cleanly while worker threads keep posting events and log records,
// whichever way it ends.
const script = ({ willQuit, exitStyle }) => `
  const quarnel = require(process.env.QUARNEL_MODULE);
  const addon = require(process.env.QUARNEL_TEST_ADDON);
  let delivered = 0;
  quarnel.SetLogCallBack(() => delivered++);
  quarnel.WndProxySetFocusCB(() => {});
  addon.SetLogCallBack(() => delivered++);
  addon.test.startBackgroundPosting(() => delivered++, 4);
  setTimeout(() => {
    ${willQuit ? 'quarnel.ProgramWillQuit(); addon.ProgramWillQuit();' : ''}
    console.log('delivered ' + (delivered > 0));
    ${exitStyle === 'exit' ? 'process.exit(0);' : '/* the loop runs dry */'}
  }, 150);
`;

const variants = [];
for (let run = 0; run < 20; run++) {
  variants.push({ willQuit: run % 2 === 0, exitStyle: run % 4 < 2 ? 'exit' : 'natural' });
}

test('20 exits with callbacks set, events queued and threads posting all end with code 0', async () => {
  const failures = [];
  for (const variant of variants) {
    const result = await runScript(script(variant), { timeoutMs: 15000 });
    if (result.code !== 0 || result.timedOut || !/delivered true/.test(result.output)) {
      failures.push({ variant, code: result.code, timedOut: result.timedOut, output: result.output.slice(-500) });
    }
  }
  assert.deepEqual(failures, []);
});
