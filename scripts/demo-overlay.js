'use strict';
// Lays a proxy window and its green frame over a window of the target application, so that a
// person can see the overlay.
//   require('./demo-overlay').run(quarnel, whenUp)   whenUp() runs while the overlay is up
// (scripts/demo takes the screenshot of the X display meanwhile).
const { startTarget, targetHelper, waitFor } = require('../tests/js/support');

const FAILED = 4294967295;
const TARGET = [200, 150, 640, 420];
const PROXY = [300, 250, 400, 200];

async function run(quarnel, whenUp) {
  const target = await startTarget([TARGET]);
  try {
    const created = [];
    quarnel.WndProxyCreateProxyWindow(target.hwnds[0], ...PROXY, (payload) => created.push(payload));
    if (!(await waitFor(() => created.length > 0)) || created[0].hwnd === FAILED) {
      throw new Error('the proxy window could not be made');
    }
    const proxy = created[0].hwnd;
    quarnel.WndProxyShowFrame();
    // Up once the frame's corner shows on the screen.
    await waitFor(() => targetHelper('--screen-pixels', `${PROXY[0]},${PROXY[1]}`) === '0,230,0', 5000);
    await whenUp({ proxy, target: target.hwnds[0] });
    quarnel.WndProxyHideFrame();
    quarnel.WndProxyCloseWindow(proxy);
  } finally {
    await target.stop();
  }
}

module.exports = { run };
