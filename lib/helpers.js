'use strict';
// Conveniences beside the raw exports, which stay exactly as the module defines them. This file
// loads on every system: the module itself is loaded on first use.
const { unsupportedPlatformError } = require('./platform');
const { describe, isInt32 } = require('./values');

let native;
const quarnel = () => (native ??= require('..'));

/** Key names the keyboard listener reports, in key-code order. */
const KEY_NAMES = Object.freeze(['left', 'up', 'right', 'down', 'pageUp', 'pageDown']);

/** Severity numbers of log records. */
const SEVERITY = Object.freeze({ INFO: 1, WARNING: 2, ERROR: 3 });

/** The handle reported for a proxy window that could not be created. */
const INVALID_HWND = 4294967295;

/**
 * The window handle inside the Buffer that Electron's
 * BrowserWindow.getNativeWindowHandle() returns, as the signed 32-bit number the module's
 * functions take (handles fit in 32 bits on 64-bit Windows too).
 */
function handleFromBuffer(buffer) {
  if (!Buffer.isBuffer(buffer) || buffer.length < 4) {
    throw new TypeError('expected the Buffer of BrowserWindow.getNativeWindowHandle()');
  }
  return buffer.readInt32LE(0);
}

/**
 * Creates a proxy window over `rect` of `parent`; resolves with its handle, rejects at once when
 * an argument is wrong or `parent` names no window, and later when the window could not be
 * created or no answer came within `timeoutMs`.
 */
function createProxyWindow(parent, rect, { timeoutMs = 5000 } = {}) {
  // The module reads whatever it is given as a 32-bit integer and never answers for a parent
  // that is no window: a wrong argument would only show as a time-out, much later.
  const problem = proxyArgumentProblem(parent, rect);
  if (problem) return Promise.reject(new TypeError(`createProxyWindow: ${problem}`));
  const { __isWindow: isWindow } = quarnel();
  if (isWindow && !isWindow(parent)) {
    return Promise.reject(new Error(`createProxyWindow: parent ${parent} names no window`));
  }
  return new Promise((resolve, reject) => {
    let timedOut = false;
    const timer = setTimeout(() => {
      timedOut = true;
      reject(new Error(`no proxy window for parent ${parent} within ${timeoutMs} ms`));
    }, timeoutMs);
    quarnel().WndProxyCreateProxyWindow(parent, rect.x, rect.y, rect.width, rect.height, ({ hwnd }) => {
      clearTimeout(timer);
      if (hwnd === INVALID_HWND) {
        reject(new Error(`the proxy window over parent ${parent} could not be created`));
      } else if (timedOut) {
        // Nobody holds its handle: left open, it would swallow the input over its rectangle.
        quarnel().WndProxyCloseWindow(hwnd);
      } else {
        resolve(hwnd);
      }
    });
  });
}

function proxyArgumentProblem(parent, rect) {
  if (!Number.isInteger(parent) || parent === 0 || parent < -(2 ** 31) || parent >= 2 ** 32) {
    return `parent must be a non-zero window handle (an integer), got ${describe(parent)}`;
  }
  if (rect === null || typeof rect !== 'object') {
    return `rect must be an object { x, y, width, height }, got ${describe(rect)}`;
  }
  for (const key of ['x', 'y', 'width', 'height']) {
    if (!isInt32(rect[key])) return `rect.${key} must be a 32-bit integer, got ${describe(rect[key])}`;
  }
  if (rect.width <= 0 || rect.height <= 0) {
    return `rect must have a positive width and height, got ${rect.width} x ${rect.height}`;
  }
  return null;
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

/**
 * Moves the keyboard focus to `hwnd` and checks that it got there: SetWindowFocus reports
 * nothing, and Windows may refuse the foreground (focus-stealing rules, a window that takes no
 * activation, a process of higher integrity). Resolves to true once GetCurrentForegroundWindow
 * names the window, asking again now and then, and to false when it has not within
 * `timeoutMs`.
 */
async function focusWindow(hwnd, { timeoutMs = 500 } = {}) {
  const handle = hwnd | 0;
  if (handle === 0) return false; // "no foreground window" would read as success
  const end = Date.now() + timeoutMs;
  let nextRequest = 0;
  for (;;) {
    const now = Date.now();
    if (now >= nextRequest) {
      quarnel().SetWindowFocus(handle);
      nextRequest = now + 100;
    }
    if (quarnel().GetCurrentForegroundWindow() === handle) return true;
    if (now >= end) return false;
    await sleep(Math.min(20, Math.max(1, end - now)));
  }
}

/**
 * True when the module can be loaded here (Windows x64 or ia32 with its prebuilt module), so that
 * code shared with other systems can ask before it requires 'quarnel'.
 */
function isSupported() {
  if (unsupportedPlatformError()) return false;
  try {
    quarnel();
    return true;
  } catch {
    return false;
  }
}

module.exports = {
  KEY_NAMES, SEVERITY, INVALID_HWND, handleFromBuffer, createProxyWindow, focusWindow, isSupported,
};
