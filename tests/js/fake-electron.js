'use strict';
// As much of Electron's main-process API as the README's example uses, so that the example runs
// in a plain node.exe: the one BrowserWindow is a window of the target application, and the app
// quits (emitting 'before-quit') once the file named by FAKE_ELECTRON_QUIT_FILE appears. The
// renderer's one request is the channel named by FAKE_ELECTRON_INVOKE: its handler is invoked
// once it is registered, and its answer printed as "ipc <channel> <JSON>".
const fs = require('node:fs');

const listeners = new Map();

const app = {
  whenReady: () => Promise.resolve(),
  on(name, listener) {
    if (!listeners.has(name)) listeners.set(name, []);
    listeners.get(name).push(listener);
    return app;
  },
  quit() {
    clearInterval(alive);
    for (const listener of listeners.get('before-quit') || []) listener({ preventDefault() {} });
    console.log('app quit');
    // Like Electron, nothing keeps the process alive any more: it ends on its own.
  },
};

const handlers = new Map();
const ipcMain = {
  handle(channel, listener) {
    handlers.set(channel, listener);
  },
};
let invoked = false;

// Electron's main process lives until the app quits; the module itself holds no event loop.
const alive = setInterval(() => {
  const channel = process.env.FAKE_ELECTRON_INVOKE;
  if (!invoked && handlers.has(channel)) {
    invoked = true;
    Promise.resolve(handlers.get(channel)({ sender: null })).then((answer) => console.log('ipc', channel, JSON.stringify(answer)));
  }
  if (fs.existsSync(process.env.FAKE_ELECTRON_QUIT_FILE)) app.quit();
}, 50);

class BrowserWindow {
  // Electron hands the HWND out as the bytes of a pointer: four of them in a 32-bit process.
  getNativeWindowHandle() {
    const hwnd = Number(process.env.FAKE_ELECTRON_HWND);
    const buffer = Buffer.alloc(process.arch === 'ia32' ? 4 : 8);
    if (buffer.length === 4) buffer.writeInt32LE(hwnd);
    else buffer.writeBigInt64LE(BigInt(hwnd));
    return buffer;
  }
}

module.exports = { app, BrowserWindow, ipcMain };
