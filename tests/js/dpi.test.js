'use strict';
// Scaled displays and several heads. Every coordinate the module takes and gives is a physical
// pixel, whatever the host's DPI awareness (plain node.exe is unaware). Each case needs an X
// server and prefix of its own, so it runs in a nested Wine session, and the physical truth is
// read outside Windows: xdotool for the pointer, an X screenshot for pixels, beside a
// per-monitor aware fixture.
const test = require('node:test');
const assert = require('node:assert/strict');
const { nestedSession, targetHelper } = require('./support');

// Wine 8 scales nothing at any DPI (every window counts as per-monitor aware there); Wine 10,
// like Windows, hands an unaware program logical pixels.
const wine = targetHelper('--query-wine');
const scales = !/^[1-8]\./.test(wine);
const [width, height] = [1600, 900];

// Runs in the nested session: the physical truth about the pointer and the screen.
const physical = `
  const { runUnix, tempFile } = support;
  const fs = require('node:fs');
  const path = require('node:path');
  const pointer = async () => /x:(\\d+) y:(\\d+)/.exec(await runUnix('xdotool getmouselocation')).slice(1).join(',');
  // "r,g,b" of each point in one X screenshot of the root window.
  const pixels = async (points) => {
    const name = path.basename(tempFile('quarnel-shot')) + '.ppm';
    await runUnix('import -window root -depth 8 ppm:/tmp/' + name);
    const image = fs.readFileSync('Z:\\\\tmp\\\\' + name);
    fs.rmSync('Z:\\\\tmp\\\\' + name);
    // "P6 <width> <height> 255" and one white-space byte, then RGB rows.
    const header = /^P6\\s+(\\d+)\\s+(\\d+)\\s+255\\s/.exec(image.subarray(0, 64).toString('latin1'));
    const [start, w] = [header[0].length, Number(header[1])];
    return points.map(([x, y]) => [...image.subarray(start + (y * w + x) * 3, start + (y * w + x) * 3 + 3)].join(','));
  };
`;

for (const dpi of scales ? [144, 120] : [144]) {
  test(`at ${dpi} DPI (Wine ${wine}): resolution, moves, proxy and frame rectangles and forwarded clicks are physical pixels`, { timeout: 240000 }, async (t) => {
    const result = await nestedSession(t, {
      QUARNEL_SCREEN: `${width}x${height}x24`, QUARNEL_WINE_DPI: String(dpi),
      QUARNEL_WINEPREFIX: `${process.env.WINEPREFIX}-dpi-${dpi}`,
    }, `${physical}
      const { targetHelper, startTarget, waitFor } = support;
      const aware = (...args) => targetHelper('--dpi-aware', ...args);
      const out = { unaware: targetHelper('--query-displays'), aware: aware('--query-displays') };
      out.monitor = quarnel.GetMainMonitorReslution();
      // An unaware target, as most programs a proxy covers are: made in logical pixels.
      const target = await startTarget([[100, 100, 600, 400]]);
      out.targetRect = aware('--query-rect', target.hwnds[0]);
      quarnel.InputMouseMove(10, 10); // wakes Wine's cursor up
      await sleep(200);
      out.landed = [];
      // Corners and edges, and points where the scaling does not divide evenly.
      for (const [x, y] of [[0, 0], [1, 1], [2, 3], [517, 383], [799, 449], [1000, 601], [1598, 0], [0, 899], [1599, 899]]) {
        quarnel.InputMouseMove(x, y);
        await sleep(100);
        const [xdotool, fixture] = [await pointer(), aware('--query-cursor')];
        if (xdotool !== x + ',' + y || fixture !== xdotool) out.landed.push([x, y, xdotool, fixture]);
      }
      let proxy = 0;
      quarnel.WndProxyCreateProxyWindow(target.hwnds[0], 301, 301, 299, 149, ({ hwnd }) => (proxy = hwnd));
      await waitFor(() => proxy);
      await sleep(300);
      out.proxyRect = aware('--query-rect', proxy);
      // Under Wine the proxy shows as an opaque box; the frame then draws its 2-pixel border.
      const corners = [[300, 300], [301, 301], [302, 302], [303, 303], [597, 447], [598, 448], [599, 449], [600, 450]];
      out.proxyPixels = await pixels(corners);
      quarnel.WndProxyShowFrame();
      await sleep(800);
      out.framePixels = await pixels(corners);
      quarnel.WndProxyHideFrame();
      // The same physical point clicked over the proxy, then on the bare target: the target
      // must read both in its own (logical) client coordinates.
      const click = async () => {
        quarnel.InputMouseMove(400, 350);
        await sleep(100);
        quarnel.InputMouseLeftClick();
        const downs = await waitFor(() => { const d = target.messages('WM_LBUTTONDOWN'); return d.length > out.clicks.length && d; });
        out.clicks.push(downs ? [downs.at(-1).x, downs.at(-1).y] : null);
      };
      out.clicks = [];
      await click();
      quarnel.WndProxyCloseAllWindow(target.hwnds[0]);
      await waitFor(() => aware('--query-rect', proxy) === '0,0,0,0');
      await click();
      await target.stop();
      // Wine 8 refuses touch registration, which a proxy survives (it forwards the mouse).
      out.errors = logs.filter((r) => r.severity === 3 && r.content !== 'RegisterTouchWindow err:120').map((r) => r.content);
      return out;
    `);
    if (!result) return;
    const scale = scales ? dpi / 96 : 1;
    const logical = (v) => Math.round(v / scale);
    assert.deepEqual([result.aware, result.monitor], [`0,0,${width},${height}\n0,0,${width},${height},primary\ndpi ${dpi}`, { width, height }]);
    // What an unaware program sees: proof that this display really is scaled.
    const [w, h] = [logical(width), logical(height)];
    assert.equal(result.unaware, `0,0,${w},${h}\n0,0,${w},${h},primary\ndpi ${scales ? 96 : dpi}`);
    assert.equal(result.targetRect, [100, 100, 600, 400].map((v) => Math.round(v * scale)).join(','));
    assert.deepEqual(result.landed, []);
    assert.equal(result.proxyRect, '301,301,299,149');
    const [outside, box, green] = ['40,80,160', '255,255,255', '0,230,0'];
    assert.deepEqual(result.proxyPixels, [outside, box, box, box, box, box, box, outside]);
    assert.deepEqual(result.framePixels, [outside, green, green, box, box, green, green, outside]);
    // Over the proxy and on the bare target alike: the point under the cursor, in the target's
    // logical client pixels.
    const origin = Math.round(100 * scale);
    const expected = [logical(400 - origin), logical(350 - origin)];
    assert.deepEqual(result.clicks, [expected, expected]);
    assert.deepEqual(result.errors, []);
  });
}

// Two Xvfb screens joined by Xinerama at 144 DPI. Xvfb puts both heads at the origin; Wine 8
// then spans the larger head, Wine 10 gives both heads the first one's size, so moves beyond
// the first head stop at its edge there.
test(`two screens at 144 DPI (Wine ${wine}): the main one is reported, moves land on the desktop, proxies cover their physical pixels`, { timeout: 240000 }, async (t) => {
  const result = await nestedSession(t, {
    QUARNEL_XVFB_ARGS: '-screen 0 800x600x24 -screen 1 1024x768x24 +xinerama', QUARNEL_WINE_DPI: '144',
    QUARNEL_WINEPREFIX: `${process.env.WINEPREFIX}-xinerama-144`,
  }, `${physical}
    const { targetHelper, startTarget, waitFor } = support;
    const aware = (...args) => targetHelper('--dpi-aware', ...args);
    const displays = aware('--query-displays').split(/\\r?\\n/);
    const monitor = quarnel.GetMainMonitorReslution();
    // Wine keeps the X pointer on the first head until one of its windows is open.
    const target = await startTarget([[100, 100, 600, 400]]);
    const landed = [];
    quarnel.InputMouseMove(10, 10);
    await sleep(200);
    for (const [x, y] of [[0, 0], [1, 1], [517, 383], [799, 599], [800, 0], [13, 700], [1023, 767]]) {
      const moved = quarnel.InputMouseMove(x, y);
      await sleep(100);
      landed.push([moved, aware('--query-cursor'), await pointer()]);
    }
    let proxy = 0;
    quarnel.WndProxyCreateProxyWindow(target.hwnds[0], 200, 200, 300, 100, ({ hwnd }) => (proxy = hwnd));
    await waitFor(() => proxy);
    await sleep(300);
    const rect = aware('--query-rect', proxy);
    const seen = await pixels([[199, 199], [200, 200], [499, 299], [500, 300], [200, 299], [199, 300]]);
    quarnel.WndProxyCloseAllWindow(target.hwnds[0]);
    await target.stop();
    const desk = logs.filter((r) => r.func === 'QuarnelImpl::GetDeskRect').map((r) => r.content);
    return { displays, monitor, landed, rect, pixels: seen, desk: desk.slice(-3) };
  `);
  if (!result) return;
  // Physical pixels of the desktop each Wine makes of the two heads.
  const [deskWidth, deskHeight] = scales ? [800, 600] : [1024, 768];
  const second = scales ? '0,0,800,600' : '0,0,1024,768';
  assert.deepEqual(result.displays, [`0,0,${deskWidth},${deskHeight}`, '0,0,800,600,primary', second, 'dpi 144']);
  assert.deepEqual(result.monitor, { width: 800, height: 600 });
  // Wine 8 tells no mode for the second head; its monitor still counts.
  assert.deepEqual(result.desk, ['EnumDisplaySettings x:0 y:0 width:800 height:600',
    `EnumDisplaySettings x:0 y:0 width:${scales ? '800 height:600' : '0 height:0'}`, `width:${deskWidth} height:${deskHeight}`]);
  const points = [[0, 0], [1, 1], [517, 383], [799, 599], [800, 0], [13, 700], [1023, 767]];
  const onDesk = points.map(([x, y]) => `${Math.min(x, deskWidth - 1)},${Math.min(y, deskHeight - 1)}`);
  assert.deepEqual(result.landed, onDesk.map((at) => [-1, at, at]));
  assert.equal(result.rect, '200,200,300,100');
  const [outside, proxy] = ['40,80,160', '255,255,255'];
  assert.deepEqual(result.pixels, [outside, proxy, proxy, outside, proxy, outside]);
});
