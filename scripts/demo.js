'use strict';
// The demo: loads the module in the Windows node.exe, prints what the exports return, and
// lays a proxy window with a frame over a target window for a screenshot taken outside.
//   scripts/demo   (npm run demo)
const fs = require('node:fs');
const path = require('node:path');

const repo = path.resolve(__dirname, '..');
const arch = process.arch === 'ia32' ? 'ia32' : 'x64';
const quarnel = require(path.join(repo, 'prebuilds', `win32-${arch}`, 'Quarnel.node'));
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const show = (label, value) => console.log(`${label.padEnd(44)} ${JSON.stringify(value)}`);

async function main() {
  const logs = [];
  quarnel.SetLogCallBack((record) => logs.push(record));

  console.log(`Quarnel.node loaded in node ${process.version} (${process.arch}); ${Object.keys(quarnel).length} exports`);
  show('GetMainMonitorReslution()', quarnel.GetMainMonitorReslution());
  show('GetCurrentForegroundWindow()', quarnel.GetCurrentForegroundWindow());
  show('GetMacAddresses()', quarnel.GetMacAddresses());
  show('GetMachineRegString(CurrentVersion, ProductName)',
    quarnel.GetMachineRegString('SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion', 'ProductName'));
  show('IsHiddenFile(__filename)', quarnel.IsHiddenFile(__filename));
  show('InputMouseMove(200, 150)', quarnel.InputMouseMove(200, 150));
  show('SetWindowParent(0, 0)', quarnel.SetWindowParent(0, 0));

  const overlayDemo = path.join(__dirname, 'demo-overlay.js');
  if (fs.existsSync(overlayDemo) && process.env.QUARNEL_DEMO_READY) {
    // The caller takes the screenshot: we say when the overlay is up and wait for its word.
    const ready = process.env.QUARNEL_DEMO_READY;
    const done = process.env.QUARNEL_DEMO_DONE;
    await require(overlayDemo).run(quarnel, async () => {
      fs.writeFileSync(ready, 'ready');
      for (let i = 0; i < 200 && !fs.existsSync(done); i++) await sleep(50);
    });
  }

  await sleep(100);
  console.log(`\n${logs.length} log records reached the log callback; the last ones:`);
  for (const r of logs.slice(-5)) {
    console.log(`  [${r.severity}] ${r.func}: ${r.content.trim()}`);
  }
  process.exit(0);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
