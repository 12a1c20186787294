'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const { load, loadTestAddon, collectLogs, startTarget, targetHelper, targetAppPath, waitFor, sleep } = require('./support');

// Keys are injected with SendInput by the target application's helper mode, a process of its
// own, into the target window, which has the focus and logs every key message it gets.
const quarnel = load();
let target;
test.before(async () => {
  target = await startTarget([[40, 40, 320, 200]]);
});
test.after(async () => {
  quarnel.UnHookKeyboardEvent();
  await target.stop();
});

const LEFT = '0x25';
const ALT = '0x12';
const keyMessages = () => target.lines().filter((line) => /^WM_(SYS)?KEY(DOWN|UP) /.test(line));

test('only releases of the six navigation keys are reported, each as one key name; the window gets every key as without the hook', { timeout: 30000 }, async () => {
  const sequence = [
    '0x25,0x26,0x27,0x28,0x21,0x22', // the six: reported
    '0x24,0x23', // Home and End, inside the same range: not reported
    '0x41,0x0D,0x20,0x2E,0x70', // other keys
    `${LEFT}:down,${LEFT}:down,${LEFT}:down,${LEFT}:up`, // a held key and its auto-repeat: its release
    `${ALT}:down,0x27,${ALT}:up`, // Alt+Right, released while Alt is held
  ].join(',');
  target.clearLog();
  targetHelper('--send-keys', sequence);
  await sleep(150);
  const unhooked = keyMessages();
  assert.equal(unhooked.length, 13 * 2 + 4 + 4);

  target.clearLog();
  const reports = [];
  quarnel.HookKeyboardEvent((...args) => reports.push(args));
  targetHelper('--send-keys', sequence);
  await waitFor(() => reports.length >= 8, 3000);
  await sleep(100);
  quarnel.UnHookKeyboardEvent();
  assert.deepEqual(keyMessages(), unhooked);
  assert.deepEqual(reports, ['left', 'up', 'right', 'down', 'pageUp', 'pageDown', 'left', 'right'].map((n) => [n]));
  // The Alt row's release was a system key release.
  assert.ok(keyMessages().some((line) => /^WM_SYSKEYUP .* wParam=39 /.test(line)), keyMessages().join('\n'));
});

test('hooking and unhooking in quick succession never hangs; the last listener replaces the others on one hook', { timeout: 60000 }, async () => {
  for (let i = 0; i < 200; i++) {
    quarnel.HookKeyboardEvent(() => {});
    quarnel.UnHookKeyboardEvent();
  }
  for (let i = 0; i < 20; i++) quarnel.HookKeyboardEvent(() => {});
  // Unhooking with no hook left does nothing.
  for (let i = 0; i < 2; i++) assert.equal(quarnel.UnHookKeyboardEvent(), undefined);
  const [first, second] = [[], []];
  quarnel.HookKeyboardEvent((key) => first.push(key));
  quarnel.HookKeyboardEvent((key) => second.push(key));
  targetHelper('--send-keys', '0x25,0x22');
  await waitFor(() => second.length >= 2, 3000);
  await sleep(100);
  quarnel.UnHookKeyboardEvent();
  assert.deepEqual([first, second], [[], ['left', 'pageDown']]);
});

test('once UnHookKeyboardEvent has returned, no release reaches JavaScript', { timeout: 30000 }, async () => {
  const reports = [];
  quarnel.HookKeyboardEvent((key) => reports.push(key));
  target.clearLog();
  // 40 strokes from another process, 20 ms apart: the unhook falls in the middle of them,
  // with releases reported but not yet delivered.
  const strokes = 40;
  const sender = spawn(targetAppPath, ['--send-keys', Array(strokes).fill(LEFT).join(',')], { stdio: 'ignore' });
  const senderDone = new Promise((resolve) => sender.once('exit', resolve));
  await waitFor(() => reports.length >= 3, 5000);
  // Keep the JavaScript thread busy while a few more releases are reported: their tasks wait
  // in the queue when the unhook comes, and must deliver nothing.
  const busyUntil = Date.now() + 200;
  while (Date.now() < busyUntil);
  quarnel.UnHookKeyboardEvent();
  const atUnhook = reports.length;
  await senderDone;
  await sleep(200);
  assert.ok(atUnhook >= 3 && atUnhook < strokes, `reported ${atUnhook}`);
  assert.equal(reports.length, atUnhook);
  // The target still got every release.
  assert.equal(keyMessages().filter((line) => line.startsWith('WM_KEYUP ')).length, strokes);
});

// Faults done to the test add-on's own copy of the module (its hook, its thread), keys injected
// by a thread of this process, 100 ms apart, so that the time to recovery can be read.
const addon = loadTestAddon();
const faults = addon.test;
const VK_LEFT = 0x25;
const logs = collectLogs(addon);

// Injects `count` Left taps 100 ms apart and resolves with the ms from `since` (default: the
// first tap) to the first release reported after it, or Infinity.
async function firstReport(reports, count, since = Date.now() + 100) {
  const before = reports.length;
  faults.injectKeys(VK_LEFT, count, 100);
  await waitFor(() => reports.length > before, count * 100 + 3000);
  const arrived = reports.length > before ? reports[before] - since : Infinity;
  await waitFor(() => faults.keyLatencies() !== undefined, count * 100 + 5000);
  return arrived;
}

test('a hook removed behind the module\'s back is back within a second of the first key it missed, 20 of 20 times', { timeout: 120000 }, async () => {
  const reports = [];
  addon.HookKeyboardEvent(() => reports.push(Date.now()));
  const recoveries = [];
  for (let round = 0; round < 20; round++) {
    assert.ok((await firstReport(reports, 1)) < 1000, 'the hook reports before the fault');
    assert.equal(faults.keyboardHookFault('remove'), 1);
    recoveries.push(await firstReport(reports, 12));
  }
  addon.UnHookKeyboardEvent();
  assert.ok(recoveries.every((ms) => ms <= 1000), `recoveries (ms): ${recoveries.join(' ')}`);
  assert.equal(logs.matching(/^keyboard hook reinstalled: a key went by that it did not report$/).filter((r) => r.severity === 2).length, 20);
});

test('after a stalled hook thread, with the hook kept or removed meanwhile, releases reach JavaScript within a second of the stall', { timeout: 60000 }, async () => {
  const reports = [];
  addon.HookKeyboardEvent(() => reports.push(Date.now()));
  for (const removed of [false, true]) {
    assert.ok((await firstReport(reports, 1)) < 1000);
    // Longer than the time a low-level hook may take, with keys waiting for it meanwhile.
    const stallEnd = Date.now() + 2500;
    assert.equal(faults.keyboardHookFault('stall', 2500), 1);
    if (removed) assert.equal(faults.keyboardHookFault('remove'), 1);
    const fromStallEnd = await firstReport(reports, 40, stallEnd);
    assert.ok(fromStallEnd <= 1000, `removed ${removed}: first release ${fromStallEnd} ms after the stall`);
  }
  addon.UnHookKeyboardEvent();
});

test('a failed install is logged with its error code and retried: releases arrive within a second', { timeout: 30000 }, async () => {
  const reports = [];
  const failed = () => logs.matching(/^SetWindowsHookExW err:5$/).filter((r) => r.severity === 3).length;
  const failedBefore = failed();
  faults.keyboardHookFault('failInstalls', 1);
  addon.HookKeyboardEvent(() => reports.push(Date.now()));
  const arrived = await firstReport(reports, 12, Date.now());
  addon.UnHookKeyboardEvent();
  assert.ok(arrived <= 1000, `first release ${arrived} ms after the hook was asked for`);
  // ERROR_ACCESS_DENIED, as the fault makes it, once.
  assert.equal(failed() - failedBefore, 1);
  assert.equal(logs.matching(/^keyboard hook installed after failed attempts: 1$/).length, 1);
});

test('the session\'s return reinstalls the hook at once, and no release is reported twice', { timeout: 30000 }, async () => {
  const WTS_SESSION_LOCK = 7;
  const WTS_SESSION_UNLOCK = 8;
  const reports = [];
  addon.HookKeyboardEvent(() => reports.push(Date.now()));
  for (const removed of [false, true]) {
    assert.equal(faults.keyboardHookFault('session', WTS_SESSION_LOCK), 1);
    if (removed) assert.equal(faults.keyboardHookFault('remove'), 1);
    const start = reports.length;
    assert.equal(faults.keyboardHookFault('session', WTS_SESSION_UNLOCK), 1);
    await sleep(100);
    // Without the watchdog's grace: the first key after the unlock is reported.
    await firstReport(reports, 10);
    await sleep(200);
    assert.equal(reports.length - start, 10, `removed ${removed}`);
  }
  addon.UnHookKeyboardEvent();
  assert.equal(logs.matching(/^keyboard hook reinstalled: the session came back$/).length, 2);
});
