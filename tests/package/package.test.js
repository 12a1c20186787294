'use strict';
// The npm package as applications meet it: loader, typings, README reference, tarball.
// Runs with the Linux node; the tarball is then loaded by the Windows node.exe under Wine.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');

const repo = path.resolve(__dirname, '..', '..');
const tsc = path.join(repo, 'node_modules', 'typescript', 'bin', 'tsc');
const run = (cmd, args, options = {}) =>
  spawnSync(cmd, args, { cwd: repo, encoding: 'utf8', maxBuffer: 64 << 20, ...options });

function typecheck(file) {
  return run(process.execPath, [tsc, '--strict', '--noEmit', '--types', 'node', file]);
}

const declaredFunctions = () =>
  [...fs.readFileSync(path.join(repo, 'index.d.ts'), 'utf8').matchAll(/^export function (\w+)\(/gm)].map((m) => m[1]);

test('here, where no module exists, the loader gives the coded error and the helpers still load', () => {
  assert.throws(() => require(repo), {
    code: 'QUARNEL_UNSUPPORTED_PLATFORM',
    message: `Quarnel supports Windows ia32 and x64; this is ${process.platform}-${process.arch}`,
  });
  assert.equal(require(path.join(repo, 'lib', 'helpers.js')).isSupported(), false);
});

test('the typings accept real usage and reject misuse', () => {
  const usage = typecheck('tests/package/usage.ts');
  assert.equal(usage.status, 0, usage.stdout + usage.stderr);
  const misuse = typecheck('tests/package/misuse.ts');
  assert.notEqual(misuse.status, 0);
  const errors = [...misuse.stdout.matchAll(/misuse\.ts\((\d+),\d+\): error (TS\d+)/g)].map((m) => `${m[1]}:${m[2]}`);
  // A boolean handle, a flag compared with true, an unknown key name, a missing argument.
  assert.deepEqual(errors, ['4:TS2345', '5:TS2367', '6:TS2367', '7:TS2554']);
});

const namedExports = (file) => {
  const list = /^export const \{\n([\s\S]*?)^\} = /m.exec(fs.readFileSync(path.join(repo, file), 'utf8'));
  return list ? list[1].split(',').map((n) => n.trim()).filter(Boolean) : [];
};

test('the typings and the ESM entries name the 32 exports in the module order', () => {
  const order = fs.readFileSync(path.join(repo, 'src', 'addon', 'exports.cpp'), 'utf8');
  const table = [...order.matchAll(/^\s+\{"(\w+)", /gm)].map((m) => m[1]);
  assert.equal(table.length, 32);
  assert.deepEqual(declaredFunctions(), table);
  assert.deepEqual(namedExports('index.mjs'), table);
  assert.deepEqual(namedExports('lib/checked.mjs'), table);
  assert.deepEqual(Object.keys(require(path.join(repo, 'lib', 'check.js')).SIGNATURES), table);
  const helpersDeclared = [...fs.readFileSync(path.join(repo, 'lib', 'helpers.d.ts'), 'utf8')
    .matchAll(/^export (?:const|function) (\w+)/gm)].map((m) => m[1]);
  assert.deepEqual(namedExports('lib/helpers.mjs').sort(), helpersDeclared.sort());
});

test('the README reference lists exactly the functions of the typings', () => {
  const readme = fs.readFileSync(path.join(repo, 'README.md'), 'utf8');
  const section = readme.split(/^## API reference$/m)[1];
  assert.ok(section, 'README has an "## API reference" section');
  const listed = [...section.split(/^## /m)[0].matchAll(/^\| `(\w+)\(/gm)].map((m) => m[1]);
  assert.deepEqual(listed, declaredFunctions());
});

test('npm pack gives a tarball that installs anywhere without a compiler, refuses to load here with the coded error, and loads under Wine', (t) => {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quarnel-pack-'));
  t.after(() => fs.rmSync(work, { recursive: true, force: true }));
  const pack = run('npm', ['pack', '--silent', '--pack-destination', work]);
  assert.equal(pack.status, 0, pack.stderr);
  const tarball = path.join(work, pack.stdout.trim().split('\n').pop());
  const listing = run('tar', ['tzf', tarball]).stdout.split('\n').filter(Boolean).sort();
  assert.deepEqual(listing, [
    'package/CHANGELOG.md', 'package/LICENSE', 'package/README.md', 'package/index.d.ts', 'package/index.js',
    'package/index.mjs', 'package/lib/check.js', 'package/lib/checked.d.ts', 'package/lib/checked.js',
    'package/lib/checked.mjs', 'package/lib/helpers.d.ts', 'package/lib/helpers.js', 'package/lib/helpers.mjs',
    'package/lib/platform.js', 'package/lib/values.js', 'package/package.json',
    'package/prebuilds/win32-ia32/Quarnel.node', 'package/prebuilds/win32-x64/Quarnel.node',
  ]);

  const app = path.join(work, 'app');
  fs.mkdirSync(app);
  fs.writeFileSync(path.join(app, 'package.json'), '{"name":"app","version":"1.0.0","private":true}');
  // As on a developer's Mac or a Linux CI of a cross-platform application: no os restriction.
  const install = run('npm', ['install', '--no-audit', '--no-fund', '--ignore-scripts=false', tarball], { cwd: app });
  assert.equal(install.status, 0, install.stderr);
  fs.writeFileSync(path.join(app, 'linux.mjs'), `
    import { isSupported } from 'quarnel/helpers';
    const outcome = (p) => p.then(() => 'loaded', (e) => e.constructor.name + ' ' + e.code);
    let required;
    try { (await import('node:module')).createRequire(import.meta.url)('quarnel'); } catch (e) { required = e.code; }
    console.log(JSON.stringify([isSupported(), required, await outcome(import('quarnel')), await outcome(import('quarnel/checked'))]));
  `);
  // The typings reach ES module imports through the exports map.
  fs.writeFileSync(path.join(app, 'typed.mts'), `
    import quarnel, { SetWindowFocus } from 'quarnel';
    import { focusWindow } from 'quarnel/helpers';
    import { InputMouseMove } from 'quarnel/checked';
    SetWindowFocus(quarnel.GetCurrentForegroundWindow());
    export const results: [number, Promise<boolean>] = [InputMouseMove(1, 2), focusWindow(0)];
  `);
  const typed = run(process.execPath, [tsc, '--strict', '--noEmit', '--module', 'nodenext', '--moduleResolution', 'nodenext',
    '--typeRoots', path.join(repo, 'node_modules', '@types'), '--types', 'node', 'typed.mts'], { cwd: app });
  assert.equal(typed.status, 0, typed.stdout + typed.stderr);
  const linux = run(process.execPath, ['linux.mjs'], { cwd: app });
  assert.equal(linux.status, 0, linux.stderr);
  const coded = 'Error QUARNEL_UNSUPPORTED_PLATFORM';
  assert.deepEqual(JSON.parse(linux.stdout), [false, 'QUARNEL_UNSUPPORTED_PLATFORM', coded, coded]);

  fs.writeFileSync(path.join(app, 'check.mjs'), `
    import { SetWindowFocus, GetMainMonitorReslution, GetCurrentForegroundWindow } from 'quarnel';
    import { focusWindow, isSupported } from 'quarnel/helpers';
    import { SetWindowFocus as checkedFocus } from 'quarnel/checked';
    let refused;
    try { checkedFocus('12'); } catch (e) { refused = e instanceof TypeError && e.message; }
    SetWindowFocus(GetCurrentForegroundWindow());
    console.log(JSON.stringify({ esm: [isSupported(), typeof focusWindow, GetMainMonitorReslution().width > 0, refused] }));
  `);
  fs.writeFileSync(path.join(app, 'check.js'), `
    const quarnel = require('quarnel');
    const helpers = require('quarnel/helpers');
    console.log(JSON.stringify({ count: Object.keys(quarnel).length, arch: process.arch,
      resolution: quarnel.GetMainMonitorReslution(), handle: helpers.handleFromBuffer(Buffer.from([1, 2, 0, 0, 0, 0, 0, 0])) }));
  `);
  // The same install serves both Windows node builds: each must pick its own prebuild.
  const archs = ['x64'];
  const blocker = run('bash', ['-c', '. scripts/lib/wine-session.sh && ia32_blocker']).stdout.trim();
  if (!blocker) archs.push('ia32');
  for (const arch of archs) {
    const wine = run(path.join(repo, 'scripts', 'wine-run'), ['node', 'check.js'],
      { cwd: app, env: { ...process.env, QUARNEL_ARCH: arch } });
    assert.equal(wine.status, 0, wine.stdout + wine.stderr);
    const result = JSON.parse(wine.stdout.trim().split('\n').pop());
    assert.deepEqual([result.arch, result.count, result.handle], [arch, 32, 0x0201]);
    assert.ok(result.resolution.width > 0);
    const esm = run(path.join(repo, 'scripts', 'wine-run'), ['node', 'check.mjs'],
      { cwd: app, env: { ...process.env, QUARNEL_ARCH: arch } });
    assert.equal(esm.status, 0, esm.stdout + esm.stderr);
    assert.deepEqual(JSON.parse(esm.stdout.trim().split('\n').pop()),
      { esm: [true, 'function', true, 'SetWindowFocus: hwnd must be a window handle (an integer), got string "12"'] });
  }
});
