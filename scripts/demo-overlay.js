'use strict';
// Lays a proxy window and its green frame over a window of the target application, so that a
// person can see the overlay.
//   require('./demo-overlay').run(quarnel, whenUp)   whenUp() runs while the overlay is up
//   scripts/wine-run node scripts/demo-overlay.js    takes the screenshot itself (a BMP from
//                                                    the target application, turned into a PNG
//                                                    here) and prints the PNG's path
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const { startTarget, targetHelper, waitFor, tempFile, load } = require('../tests/js/support');

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

// ---- PNG from the target application's BMP (32-bit, either row order) ----

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, 'ascii');
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, crc]);
}

function bmpToPng(bmp) {
  const offset = bmp.readUInt32LE(10);
  const width = bmp.readInt32LE(18);
  const rawHeight = bmp.readInt32LE(22);
  if (bmp.readUInt16LE(28) !== 32) throw new Error('only 32-bit BMPs are handled');
  const height = Math.abs(rawHeight);
  const rows = Buffer.alloc(height * (1 + width * 3));
  for (let y = 0; y < height; y++) {
    const source = offset + (rawHeight < 0 ? y : height - 1 - y) * width * 4;
    const row = y * (1 + width * 3);  // each row starts with filter type 0
    for (let x = 0; x < width; x++) {
      rows[row + 1 + x * 3] = bmp[source + x * 4 + 2];
      rows[row + 2 + x * 3] = bmp[source + x * 4 + 1];
      rows[row + 3 + x * 3] = bmp[source + x * 4];
    }
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;  // bits per channel
  header[9] = 2;  // RGB
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(rows)),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

// Wine maps the Linux root to drive Z:.
const linuxPath = (p) => (/^[zZ]:\\/.test(p) ? p.slice(2).replace(/\\/g, '/') : p);

if (require.main === module) {
  const out = path.resolve(__dirname, '..', 'build', 'demo', 'overlay.png');
  run(load(), async () => {
    const bmp = tempFile('quarnel-screen') + '.bmp';
    if (targetHelper('--screenshot', bmp) !== '' || !fs.existsSync(bmp)) {
      throw new Error('the screenshot failed');
    }
    fs.mkdirSync(path.dirname(out), { recursive: true });
    fs.writeFileSync(out, bmpToPng(fs.readFileSync(bmp)));
    fs.rmSync(bmp, { force: true });
  }).then(
    () => {
      console.log(`Screenshot of the overlay: ${linuxPath(out)}`);
      process.exit(0);
    },
    (error) => {
      console.error(error);
      process.exit(1);
    });
}

module.exports = { run, bmpToPng };
