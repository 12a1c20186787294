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
const { load, targetAppPath, collectLogs, readyLine, waitFor, sleep } = require('./support');

const quarnel = load();
const logs = collectLogs(quarnel);
const since = (func) => logs.since(`QuarnelImpl::${func}`);

// A private copy of the target application: StartProcess ends every process of the image
// name, so each test launches a name no other test runs.
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'quarnel-system-'));
function targetCopy(name) {
  const exe = path.join(scratch, name);
  fs.copyFileSync(targetAppPath, exe);
  return exe;
}
test.after(() => fs.rmSync(scratch, { recursive: true, force: true }));

function alive(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch {
    return false;
  }
}
const samePath = (a, b) => path.resolve(a).toLowerCase() === path.resolve(b).toLowerCase();

test('StartProcess keeps one instance of a program and ends strays', async (t) => {
  const exe = targetCopy('quarnel-launch.exe');
  const started = [];
  t.after(() => started.forEach((pid) => alive(pid) && process.kill(pid)));
  // Arguments go on the command line unquoted, so the log paths must not hold spaces.
  assert.ok(!/\s/.test(scratch), scratch);
  const log = (tag) => path.join(scratch, `${tag}.log`);
  const args = (tag) => ['--log', log(tag), '--exit-after', '30000'];
  const ready = (tag) => waitFor(() => readyLine(log(tag)), 10000);
  const running = (pid) => `process is running pid:${pid} exeUtf8:${exe} exeName:quarnel-launch.exe`;

  // First launch, empty workDir: the host's directory.
  let launch = since('StartProcess');
  const first = quarnel.StartProcess(exe, args('first'), '');
  assert.ok(first.status === 1 && first.pid > 0, JSON.stringify(first));
  started.push(first.pid);
  const firstReady = await ready('first');
  assert.equal(firstReady?.pid, first.pid);
  assert.ok(samePath(firstReady.cwd, process.cwd()), `${firstReady.cwd} vs ${process.cwd()}`);
  assert.deepEqual(await launch(), [
    `CreateProcess success cmd:${exe} ${args('first').join(' ')} exe:${exe} workDir: pid:${first.pid}`,
  ]);

  // While it runs: the same pid, nothing started.
  launch = since('StartProcess');
  const again = quarnel.StartProcess(exe, args('again'), '');
  assert.deepEqual([again.status, again.pid], [1, first.pid]);
  assert.deepEqual(await launch(), [running(first.pid)]);
  assert.equal(readyLine(log('again')), undefined, 'a second instance started');

  // A stray of the same image name, started elsewhere, is ended; the remembered one stays.
  const stray = spawn(exe, args('stray'), { stdio: 'ignore' });
  const strayExit = new Promise((resolve) => stray.once('exit', resolve));
  const strayReady = await ready('stray');
  assert.ok(strayReady, 'stray did not start');
  launch = since('StartProcess');
  assert.equal(quarnel.StartProcess(exe, args('third'), '').pid, first.pid);
  assert.equal(await Promise.race([strayExit.then(() => 'ended'), sleep(5000).then(() => 'running')]), 'ended');
  assert.ok(alive(first.pid), 'the remembered instance was ended');
  // Visited in ascending pid.
  const visits = [[strayReady.pid, `kill process pid:${strayReady.pid}`], [first.pid, running(first.pid)]];
  assert.deepEqual(await launch(), visits.sort((a, b) => a[0] - b[0]).map((v) => v[1]));

  // Once the remembered one has ended, a new one starts, in the given directory.
  process.kill(first.pid);
  assert.ok(await waitFor(() => !alive(first.pid), 5000));
  const workDir = fs.mkdtempSync(path.join(scratch, 'work-'));
  const next = quarnel.StartProcess(exe, args('next'), workDir);
  started.push(next.pid);
  assert.ok(next.status === 1 && next.pid !== first.pid, JSON.stringify(next));
  const nextReady = await ready('next');
  assert.equal(nextReady?.pid, next.pid);
  assert.ok(samePath(nextReady.cwd, workDir), `${nextReady.cwd} vs ${workDir}`);
  assert.equal(quarnel.StartProcess(exe, args('last'), '').pid, next.pid);
  await sleep(150);
});

test('StartProcess without arguments starts by application name; a missing program fails', async (t) => {
  const exe = targetCopy('quarnel-bare.exe');
  const launch = since('StartProcess');
  const bare = quarnel.StartProcess(exe, [], '');
  t.after(() => alive(bare.pid) && process.kill(bare.pid));
  assert.ok(bare.status === 1 && bare.pid > 0, JSON.stringify(bare));
  assert.deepEqual(await launch(true), [[1, `CreateProcess success cmd: exe:${exe} workDir: pid:${bare.pid}`]]);

  const missing = path.join(scratch, 'no-such-dir', 'quarnel-missing.exe');
  for (const [args, cmd] of [[[], ''], [['-a', 'b c'], `${missing} -a b c`]]) {
    const failing = since('StartProcess');
    const result = quarnel.StartProcess(missing, args, '');
    assert.ok(result.status === 0 && result.pid === 0 && result.errorCode !== 0 && result.errorMessage.length > 0,
      JSON.stringify(result));
    assert.deepEqual(await failing(true), [[3, `CreateProcess err:${result.errorCode} cmd:${cmd} exe:${missing} workDir:`]]);
  }
});

test('GetMachineRegString reads local machine strings and answers "" for missing ones', async () => {
  const version = 'SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion';
  // keyPath, itemKey, whether a value is there
  const rows = [[version, 'ProductName', true], [version, 'NoSuchValueQuarnel', false],
    ['SOFTWARE\\NoSuchKeyQuarnel\\x', 'ProductName', false]];
  for (const [keyPath, itemKey, found] of rows) {
    const reg = since('GetMachineRegString');
    const value = quarnel.GetMachineRegString(keyPath, itemKey);
    assert.ok(typeof value === 'string' && (value !== '') === found, `${keyPath} ${itemKey}: ${JSON.stringify(value)}`);
    assert.deepEqual(await reg(true), [[1, `get data:${value} from reg:${keyPath} itemKey:${itemKey}`]]);
  }
});

// On 64-bit Windows a 32-bit process reads the 32-bit registry view under SOFTWARE and finds
// SysWOW64 behind System32 paths; a 64-bit one sees both as named. Each place gets a different
// answer, so the result tells which one the module looked at.
test('the registry view and System32 are those of the module\'s bitness', async (t) => {
  const windir = process.env.SystemRoot || 'C:\\windows';
  const wow = path.join(windir, 'SysWOW64');
  if (!fs.existsSync(wow)) return t.skip('a 32-bit system has one view of each');
  const redirected = process.arch === 'ia32';
  const name = `quarnel-view-${process.pid}`;
  const key = `SOFTWARE\\${name}`;
  const reg = (...args) => spawnSync('reg', args, { encoding: 'utf8' });
  const files = [path.join(windir, redirected ? 'Sysnative' : 'System32', `${name}.txt`),
    path.join(wow, `${name}.txt`), path.join(wow, `${name}.exe`)];
  t.after(() => {
    for (const view of ['/reg:32', '/reg:64']) reg('delete', `HKLM\\${key}`, '/f', view);
    files.forEach((file) => fs.rmSync(file, { force: true }));
  });
  for (const view of ['64', '32']) {
    const added = reg('add', `HKLM\\${key}`, '/v', 'Bits', '/d', view, '/f', `/reg:${view}`);
    assert.equal(added.status, 0, added.stdout + added.stderr);
  }
  // Hidden in the 64-bit System32, plain in SysWOW64; the program only in SysWOW64.
  fs.writeFileSync(files[0], 'x');
  fs.writeFileSync(files[1], 'x');
  assert.equal(spawnSync('attrib', ['+h', files[0]]).status, 0);
  fs.copyFileSync(targetAppPath, files[2]);

  assert.equal(quarnel.GetMachineRegString(key, 'Bits'), redirected ? '32' : '64');
  const attributes = since('IsHiddenFile');
  assert.equal(quarnel.IsHiddenFile(path.join(windir, 'System32', `${name}.txt`)), redirected ? 0 : 1);
  assert.match((await attributes()).join('|'), /^get dwAttrs:\d+$/);
  const started = quarnel.StartProcess(path.join(windir, 'System32', `${name}.exe`), ['--exit-after', '2000'], '');
  t.after(() => started.pid && alive(started.pid) && process.kill(started.pid));
  assert.equal(started.status, redirected ? 1 : 0, JSON.stringify(started));
});

test('IsHiddenFile answers 1 only for the hidden attribute', async () => {
  const dir = fs.mkdtempSync(path.join(scratch, 'hidden-'));
  const [plain, hiddenFile, hiddenDir] = ['plain.txt', 'hidden.txt', 'hiddendir'].map((n) => path.join(dir, n));
  fs.writeFileSync(plain, 'x');
  fs.writeFileSync(hiddenFile, 'x');
  fs.mkdirSync(hiddenDir);
  for (const p of [hiddenFile, hiddenDir]) assert.equal(spawnSync('attrib', ['+h', p]).status, 0, `attrib +h ${p}`);
  const [found, failed] = ['1 get dwAttrs:\\d+', '3 GetFileAttributesW err:[1-9]\\d*'];
  // path, answer, record; a directory is not hidden for being one
  const rows = [[hiddenFile, 1, found], [hiddenDir, 1, found], [plain, 0, found], [dir, 0, found],
    ['', 0, failed], [path.join(dir, 'missing.txt'), 0, failed]];
  for (const [p, expected, record] of rows) {
    const rec = since('IsHiddenFile');
    assert.equal(quarnel.IsHiddenFile(p), expected, p);
    assert.match((await rec(true)).map((r) => r.join(' ')).join('|'), new RegExp(`^${record}$`), p);
  }
});

test('SetRunmode sets the variable here at once and persists it for the user', async () => {
  for (const mode of [`m${process.pid}`, 'x']) {
    const rec = since('SetUserEnvironment');
    assert.equal(quarnel.SetRunmode(mode), undefined);
    assert.equal(process.env.runmode, mode);
    const query = spawnSync('reg', ['query', 'HKCU\\Environment', '/v', 'runmode'], { encoding: 'utf8' });
    assert.match(query.stdout, new RegExp(`runmode\\s+REG_SZ\\s+${mode}\\s*$`, 'm'), query.stdout);
    assert.deepEqual(await rec(), [`set success key:runmode value:${mode}`]);
  }
});

test('GetMacAddresses returns the physical adapters\' addresses as text', async () => {
  const rec = since('GetMacAddresses');
  const macs = quarnel.GetMacAddresses('ignored');
  for (const mac of macs) assert.match(mac, /^(|([0-9A-F]{2}:){5}[0-9A-F]{2})$/);
  if (process.env.WINEPREFIX) assert.deepEqual(macs, []); // no connection manager under Wine
  assert.deepEqual(await rec(), macs.map((m) => `get mac:${m}`));
  assert.deepEqual(logs.filter((r) => r.severity === 3 && /Mac|Adapter/.test(r.func)), []);
});
