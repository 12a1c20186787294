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
const { load, targetAppPath, collectLogs, readyLine, waitFor, sleep, childResult } = require('./support');

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

const alive = (pid) => {
  try { return process.kill(pid, 0); } catch { return false; }
};
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

  // A stray of the same image name, started elsewhere (by a helper that exits at once, so
  // that it is not this process's descendant), is ended; the remembered one stays.
  const spawnStray = `require('node:child_process').spawn(${JSON.stringify(exe)}, ${JSON.stringify(args('stray'))},
    { detached: true, stdio: 'ignore' }).unref()`;
  spawnSync(process.execPath, ['-e', spawnStray], { stdio: 'ignore' });
  const strayReady = await ready('stray');
  assert.ok(strayReady, 'stray did not start');
  started.push(strayReady.pid);
  launch = since('StartProcess');
  assert.equal(quarnel.StartProcess(exe, args('third'), '').pid, first.pid);
  assert.ok(await waitFor(() => !alive(strayReady.pid), 5000), 'the stray still runs');
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

// A program of another name that is node.exe itself, for launches that must not touch the
// test runner's node.exe processes.
function nodeCopy(dir, name) {
  const exe = path.join(dir, name);
  // A copy, not a link: the running node.exe could not be removed afterwards.
  fs.copyFileSync(process.execPath, exe);
  return exe;
}

test('StartProcess of the host\'s own program spares the host, its ancestors and descendants', async (t) => {
  const host = nodeCopy(scratch, 'quarnel-host.exe');
  const sleeper = path.join(scratch, 'sleeper.js');
  fs.writeFileSync(sleeper, 'setTimeout(() => {}, 30000);');
  const started = [];
  t.after(() => started.forEach((pid) => alive(pid) && process.kill(pid)));
  // A stranger of the same image name, outside the caller's tree: it goes.
  const stranger = spawn(host, [sleeper], { stdio: 'ignore' });
  started.push(stranger.pid);
  const strangerExit = new Promise((resolve) => stranger.once('exit', resolve));
  // outer (host) starts the caller (host), which starts a descendant (host) and then the program.
  const caller = path.join(scratch, 'caller.js');
  fs.writeFileSync(caller, `
    const { spawn } = require('node:child_process');
    const quarnel = require(process.env.QUARNEL_MODULE);
    const records = [];
    quarnel.SetLogCallBack((r) => r.func === 'QuarnelImpl::StartProcess' && records.push(r.content));
    const descendant = spawn(process.execPath, [${JSON.stringify(sleeper)}], { stdio: 'ignore' });
    setTimeout(() => {
      const result = quarnel.StartProcess(process.execPath, [${JSON.stringify(sleeper)}], '');
      setTimeout(() => {
        let descendantAlive = true;
        try { process.kill(descendant.pid, 0); } catch { descendantAlive = false; }
        descendant.kill();
        console.log('RESULT ' + JSON.stringify({ result, self: process.pid, outer: process.ppid,
          descendant: descendant.pid, descendantAlive, records }));
        process.exit(0);
      }, 500);
    }, 500);
  `);
  const { result, self, outer, descendant, descendantAlive, records } = await childResult(`
    const { spawnSync } = require('node:child_process');
    process.exit(spawnSync(process.execPath, [${JSON.stringify(caller)}], { stdio: 'inherit' }).status);
  `, { execPath: host });
  started.push(result.pid);
  assert.ok(result.status === 1 && result.pid > 0, JSON.stringify(result));
  assert.ok(descendantAlive, 'the caller\'s descendant was ended');
  const visits = [[outer, 'ancestor'], [self, 'self'], [descendant, 'descendant']]
    .map(([pid, relation]) => [pid, `spare own process pid:${pid} relation:${relation}`])
    .concat([[stranger.pid, `kill process pid:${stranger.pid}`]])
    .sort((a, b) => a[0] - b[0]).map((v) => v[1]);
  assert.deepEqual(records.slice(0, -1), visits);
  assert.match(records.at(-1), new RegExp(`^CreateProcess success .* pid:${result.pid}$`));
  assert.equal(await Promise.race([strangerExit.then(() => 'ended'), sleep(5000).then(() => 'running')]), 'ended');
});

test('System DLLs load from System32 only, never from beside node.exe or the working directory', async () => {
  const plantedDll = path.join(path.dirname(targetAppPath), 'planted_dll.dll');
  const root = fs.mkdtempSync(path.join(scratch, 'planting-'));
  const [appDir, cwdDir, controlDir] = ['app', 'cwd', 'control'].map((name) => path.join(root, name));
  [appDir, cwdDir, controlDir].forEach((dir) => fs.mkdirSync(dir));
  const node = nodeCopy(appDir, 'node.exe');
  const plant = (dir) => ['Ntdsbmsg.dll', 'netshell.dll'].forEach((dll) => fs.copyFileSync(plantedDll, path.join(dir, dll)));
  const markers = (dir) => fs.readdirSync(dir).filter((f) => f.endsWith('.loaded'));
  plant(controlDir);
  // A planted copy beside node.exe would hide one in the working directory: first both, then
  // the working directory's alone.
  for (const dirs of [[appDir, cwdDir], [cwdDir]]) {
    dirs.forEach(plant);
    // 8448 is a directory-service code, which the system's own table does not hold: its text
    // is looked for in the message DLL. The control shows that a planted copy, once loaded,
    // leaves its marker.
    await childResult(`
      quarnel.GetMacAddresses();
      addon.test.errorText(8448);
      try { process.dlopen({ exports: {} }, ${JSON.stringify(path.join(controlDir, 'netshell.dll'))}); } catch {}
      out(true);
    `, { execPath: node, cwd: cwdDir });
    assert.deepEqual([appDir, cwdDir, controlDir].map(markers), [[], [], ['netshell.dll.loaded']], dirs.join(' '));
    fs.rmSync(path.join(controlDir, 'netshell.dll.loaded'));
    for (const dir of [appDir, cwdDir]) fs.readdirSync(dir).filter((f) => f.endsWith('.dll')).forEach((f) => fs.rmSync(path.join(dir, f)));
  }
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

  // More arguments than any command line holds: refused as too long, whatever length the list
  // claims; it is read only as far as that takes.
  const endless = [];
  endless.length = 2 ** 32 - 1;
  const refused = since('StartProcess');
  const result = quarnel.StartProcess(missing, endless, '');
  assert.deepEqual([result?.status, result?.pid, result?.errorCode], [0, 0, 206]);
  assert.deepEqual(await refused(true), [[3, `command line too long length:${missing.length + 32767} exe:${missing}`]]);
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
  let started = {};
  t.after(async () => {
    for (const view of ['/reg:32', '/reg:64']) reg('delete', `HKLM\\${key}`, '/f', view);
    // A running program's file cannot be removed.
    if (started.pid && alive(started.pid)) process.kill(started.pid);
    await waitFor(() => !started.pid || !alive(started.pid), 5000);
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
  started = quarnel.StartProcess(path.join(windir, 'System32', `${name}.exe`), ['--exit-after', '2000'], '');
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
  // The registry as another program reads it: reg export writes UTF-16, so any text survives.
  const exported = path.join(scratch, 'environment.reg');
  const stored = () => {
    fs.rmSync(exported, { force: true });
    const run = spawnSync('reg', ['export', 'HKCU\\Environment', exported, '/y'], { encoding: 'utf8' });
    assert.equal(run.status, 0, run.stdout + run.stderr);
    return /^"runmode"="(.*)"\r?$/m.exec(fs.readFileSync(exported).toString('utf16le'))?.[1];
  };
  // mode, the text stored: a character outside the BMP stays one, a lone surrogate becomes U+FFFD
  const rows = [[`m${process.pid}`], ['x'], ['a\u{1F600}b\uD800c', 'a\u{1F600}b\uFFFDc']];
  for (const [mode, text = mode] of rows) {
    const rec = since('SetUserEnvironment');
    assert.equal(quarnel.SetRunmode(mode), undefined);
    assert.equal(process.env.runmode, text);
    assert.equal(stored(), text);
    assert.deepEqual(await rec(), [`set success key:runmode value:${text}`]);
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
