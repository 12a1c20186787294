import type { Hwnd, KeyName } from '..';

/** Key names the keyboard listener reports, in key-code order. */
export const KEY_NAMES: readonly KeyName[];
/** Severity numbers of log records. */
export const SEVERITY: Readonly<{ INFO: 1; WARNING: 2; ERROR: 3 }>;
/** The handle reported for a proxy window that could not be created. */
export const INVALID_HWND: 4294967295;
/** The handle in the Buffer of Electron's BrowserWindow.getNativeWindowHandle(), as the signed 32-bit number the functions take. */
export function handleFromBuffer(buffer: Buffer): Hwnd;
/** Creates a proxy window over `rect` of `parent` and resolves with its handle; rejects at once on a wrong argument or a parent that names no window, later on failure or timeout. */
export function createProxyWindow(
  parent: Hwnd,
  rect: { x: number; y: number; width: number; height: number },
  options?: { timeoutMs?: number },
): Promise<Hwnd>;
/**
 * Moves the focus to `hwnd` with SetWindowFocus and confirms it with GetCurrentForegroundWindow,
 * asking again within `timeoutMs` (default 500): true only once the window really is in the
 * foreground.
 */
export function focusWindow(hwnd: Hwnd, options?: { timeoutMs?: number }): Promise<boolean>;
/**
 * True when the module can be loaded here (Windows x64 or ia32 with its prebuilt module). This
 * entry loads on every system; requiring 'quarnel' elsewhere throws an Error whose `code` is
 * "QUARNEL_UNSUPPORTED_PLATFORM".
 */
export function isSupported(): boolean;
