'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const { load, startTarget, targetHelper, targetAppPath, waitFor, sleep } = require('./support');

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
