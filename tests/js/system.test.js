'use strict';
// Single-instance launch, machine registry string, hidden files, run mode and MAC addresses,
// observed through the target application (its log tells its pid and working directory),
// the registry as another process reads it, and the module's log records.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, spawnSync } = require('node:child_process');
const { load, targetAppPath, tempFile, collectLogs, waitFor, sleep, recordsOf } = require('./support');

const quarnel = load();
const records = collectLogs(quarnel);

const recorder = (func) => recordsOf(records, `QuarnelImpl::${func}`);
const settle = () => sleep(150);

// A private copy of the target application: StartProcess ends every process of the image
// name, so each test launches a name no other test runs.
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'quarnel-system-'));
function targetCopy(name) {
  const exe = path.join(scratch, name);
  fs.copyFileSync(targetAppPath, exe);
  return exe;
}
test.after(() => fs.rmSync(scratch, { recursive: true, force: true }));

// The target's own report of itself: { pid, cwd }, or undefined until it wrote it.
function readyLine(logPath) {
  let text = '';
  try {
    text = fs.readFileSync(logPath, 'utf8');
  } catch {
    return undefined;
  }
  const m = /^ready pid=(\d+) cwd=(.*?)\r?$/m.exec(text);
  return m ? { pid: Number(m[1]), cwd: m[2] } : undefined;
}
const waitReady = (logPath) => waitFor(() => readyLine(logPath), 10000);

function alive(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch {
    return false;
  }
}
const waitGone = (pid) => waitFor(() => !alive(pid), 5000);
const samePath = (a, b) => path.resolve(a).toLowerCase() === path.resolve(b).toLowerCase();
const logArgs = (logPath) => ['--log', logPath, '--exit-after', '30000'];

test('StartProcess keeps one instance of a program and ends strays', async (t) => {
  const exe = targetCopy('quarnel-launch.exe');
  const started = [];
  t.after(() => started.forEach((pid) => alive(pid) && process.kill(pid)));
  // Arguments go on the command line unquoted, so the log paths must not hold spaces.
  const log = (tag) => path.join(scratch, `${tag}.log`);
  assert.ok(!/\s/.test(scratch), scratch);

  // First launch, empty workDir: the host's directory.
  let launch = recorder('StartProcess');
  const first = quarnel.StartProcess(exe, logArgs(log('first')), '');
  assert.equal(first.status, 1, JSON.stringify(first));
  assert.ok(first.pid > 0);
  started.push(first.pid);
  const firstReady = await waitReady(log('first'));
  assert.equal(firstReady?.pid, first.pid);
  assert.ok(samePath(firstReady.cwd, process.cwd()), `${firstReady.cwd} vs ${process.cwd()}`);
  await settle();
  assert.deepEqual(launch.contents(), [
    `CreateProcess success cmd:${exe} ${logArgs(log('first')).join(' ')} exe:${exe} workDir: pid:${first.pid}`,
  ]);

  // While it runs: the same pid, nothing started.
  launch = recorder('StartProcess');
  const again = quarnel.StartProcess(exe, logArgs(log('again')), '');
  assert.equal(again.status, 1);
  assert.equal(again.pid, first.pid);
  await settle();
  assert.equal(readyLine(log('again')), undefined, 'a second instance started');
  assert.deepEqual(launch.contents(), [
    `process is running pid:${first.pid} exeUtf8:${exe} exeName:quarnel-launch.exe`,
  ]);

  // A stray of the same image name, started elsewhere, is ended; the remembered one stays.
  const stray = spawn(exe, logArgs(log('stray')), { stdio: 'ignore' });
  const strayExit = new Promise((resolve) => stray.once('exit', resolve));
  const strayReady = await waitReady(log('stray'));
  assert.ok(strayReady, 'stray did not start');
  launch = recorder('StartProcess');
  const third = quarnel.StartProcess(exe, logArgs(log('third')), '');
  assert.equal(third.pid, first.pid);
  assert.equal(await Promise.race([strayExit.then(() => 'ended'), sleep(5000).then(() => 'running')]), 'ended');
  assert.ok(alive(first.pid), 'the remembered instance was ended');
  await settle();
  // Visited in ascending pid.
  const visits = [
    [strayReady.pid, `kill process pid:${strayReady.pid}`],
    [first.pid, `process is running pid:${first.pid} exeUtf8:${exe} exeName:quarnel-launch.exe`],
  ].sort((a, b) => a[0] - b[0]);
  assert.deepEqual(launch.contents(), visits.map((v) => v[1]));

  // Once the remembered one has ended, a new one starts, in the given directory.
  process.kill(first.pid);
  assert.ok(await waitGone(first.pid));
  const workDir = fs.mkdtempSync(path.join(scratch, 'work-'));
  const next = quarnel.StartProcess(exe, logArgs(log('next')), workDir);
  assert.equal(next.status, 1);
  started.push(next.pid);
  assert.notEqual(next.pid, first.pid);
  const nextReady = await waitReady(log('next'));
  assert.equal(nextReady?.pid, next.pid);
  assert.ok(samePath(nextReady.cwd, workDir), `${nextReady.cwd} vs ${workDir}`);
  assert.equal(quarnel.StartProcess(exe, logArgs(log('last')), '').pid, next.pid);
  await settle();
});

test('StartProcess without arguments starts by application name; a missing program fails', async (t) => {
  const exe = targetCopy('quarnel-bare.exe');
  let launch = recorder('StartProcess');
  const bare = quarnel.StartProcess(exe, [], '');
  t.after(() => alive(bare.pid) && process.kill(bare.pid));
  assert.equal(bare.status, 1, JSON.stringify(bare));
  assert.ok(bare.pid > 0);
  await settle();
  assert.deepEqual(launch.contents(), [`CreateProcess success cmd: exe:${exe} workDir: pid:${bare.pid}`]);

  const missing = path.join(scratch, 'no-such-dir', 'quarnel-missing.exe');
  for (const args of [[], ['-a', 'b c']]) {
    launch = recorder('StartProcess');
    const result = quarnel.StartProcess(missing, args, '');
    assert.equal(result.status, 0);
    assert.equal(result.pid, 0);
    assert.notEqual(result.errorCode, 0);
    assert.ok(result.errorMessage.length > 0);
    await settle();
    const [record, ...rest] = launch.all();
    assert.deepEqual(rest, []);
    assert.equal(record.severity, 3);
    const cmd = args.length ? `${missing} -a b c` : '';
    assert.equal(record.content, `CreateProcess err:${result.errorCode} cmd:${cmd} exe:${missing} workDir:`);
  }
});

test('GetMachineRegString reads local machine strings and answers "" for missing ones', async () => {
  const version = 'SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion';
  const rows = [
    // keyPath, itemKey, expectation
    [version, 'ProductName', (v) => v.length > 0],
    [version, 'NoSuchValueQuarnel', (v) => v === ''],
    ['SOFTWARE\\NoSuchKeyQuarnel\\x', 'ProductName', (v) => v === ''],
  ];
  for (const [keyPath, itemKey, ok] of rows) {
    const reg = recorder('GetMachineRegString');
    const value = quarnel.GetMachineRegString(keyPath, itemKey);
    assert.equal(typeof value, 'string');
    assert.ok(ok(value), `${keyPath} ${itemKey}: ${JSON.stringify(value)}`);
    await settle();
    assert.deepEqual(reg.contents(), [`get data:${value} from reg:${keyPath} itemKey:${itemKey}`]);
  }
});

test('IsHiddenFile answers 1 only for the hidden attribute', async () => {
  const dir = fs.mkdtempSync(path.join(scratch, 'hidden-'));
  const plain = path.join(dir, 'plain.txt');
  const hiddenFile = path.join(dir, 'hidden.txt');
  const hiddenDir = path.join(dir, 'hiddendir');
  fs.writeFileSync(plain, 'x');
  fs.writeFileSync(hiddenFile, 'x');
  fs.mkdirSync(hiddenDir);
  for (const p of [hiddenFile, hiddenDir]) {
    const r = spawnSync('attrib', ['+h', p], { encoding: 'utf8' });
    assert.equal(r.status, 0, `attrib +h ${p}: ${r.stdout}${r.stderr}`);
  }
  const rows = [
    // path, answer, error logged
    [hiddenFile, 1, false],
    [hiddenDir, 1, false],
    [plain, 0, false],
    [dir, 0, false], // a directory is not hidden for being one
    ['', 0, true],
    [path.join(dir, 'missing.txt'), 0, true],
  ];
  for (const [p, expected, failing] of rows) {
    const rec = recorder('IsHiddenFile');
    assert.equal(quarnel.IsHiddenFile(p), expected, p);
    await settle();
    const [record] = rec.all();
    assert.ok(record, p);
    if (failing) {
      assert.equal(record.severity, 3);
      assert.match(record.content, /^GetFileAttributesW err:[1-9]\d*$/);
    } else {
      assert.equal(record.severity, 1);
      assert.match(record.content, /^get dwAttrs:\d+$/);
    }
  }
});

test('SetRunmode sets the variable here at once and persists it for the user', async () => {
  for (const mode of [`m${process.pid}`, 'x']) {
    const rec = recorder('SetUserEnvironment');
    assert.equal(quarnel.SetRunmode(mode), undefined);
    assert.equal(process.env.runmode, mode);
    const query = spawnSync('reg', ['query', 'HKCU\\Environment', '/v', 'runmode'], { encoding: 'utf8' });
    assert.match(query.stdout, new RegExp(`runmode\\s+REG_SZ\\s+${mode}\\s*$`, 'm'), query.stdout);
    await settle();
    assert.deepEqual(rec.contents(), [`set success key:runmode value:${mode}`]);
  }
});

test('GetMacAddresses returns the physical adapters\' addresses as text', async () => {
  const rec = recorder('GetMacAddresses');
  const macs = quarnel.GetMacAddresses('ignored');
  assert.ok(Array.isArray(macs));
  for (const mac of macs) assert.match(mac, /^(|([0-9A-F]{2}:){5}[0-9A-F]{2})$/);
  if (process.env.WINEPREFIX) assert.deepEqual(macs, []); // no connection manager under Wine
  await settle();
  assert.deepEqual(rec.contents(), macs.map((m) => `get mac:${m}`));
  assert.deepEqual(records.filter((r) => r.severity === 3 && /Mac|Adapter/.test(r.func)), []);
});
