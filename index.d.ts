// Type definitions for Quarnel.node. Window handles are signed 32-bit numbers; yes/no
// results are the numbers 1 and 0, never booleans.
//
// Which entry to use: 'quarnel' reads an argument of the wrong type leniently (a string or a
// Buffer as 0, a non-string as ""), which is the module's contract, and suits arguments that
// these types already vouch for. 'quarnel/checked' has the same functions and types and throws a
// TypeError (code "QUARNEL_INVALID_ARGUMENT") naming the function and the argument: use it where
// values come from outside the type checker (IPC messages, configuration, plain JavaScript).

/** A window handle as the module reads and returns it (signed 32-bit). */
export type Hwnd = number;

/** 1 for yes, 0 for no. */
export type Flag = 1 | 0;

/** Outcome of an operation: the thread's last-error code and its system text. */
export interface OperationResult {
  /** 1 when the operation succeeded. */
  status: Flag;
  /** The last-error code when the result was built (0 on a clean success). */
  errorCode: number;
  /** The system's text for `errorCode`. */
  errorMessage: string;
}

/** Outcome of StartProcess, with the process id (0 when nothing runs). */
export interface StartProcessResult extends OperationResult {
  pid: number;
}

export interface Resolution {
  width: number;
  height: number;
}

/** The key names the keyboard listener reports. */
export type KeyName = 'left' | 'up' | 'right' | 'down' | 'pageUp' | 'pageDown';

/** A proxy window event; `hwnd` is unsigned, 4294967295 when creation failed. */
export interface ProxyWindowEvent {
  hwnd: number;
}

/** One of the module's log records. */
export interface LogRecord {
  /** Source line of the log site. */
  line: number;
  /** 1 info, 2 warning, 3 error. */
  severity: 1 | 2 | 3;
  /** Source file of the log site. */
  file: string;
  /** Function name, such as "WndProxyImpl::CreateProxyWindow". */
  func: string;
  content: string;
  /** On the first record delivered after a burst that overflowed the log queue: how many records were dropped just before it. */
  lost?: number;
}

/** Moves the keyboard focus to the window, even from the background; logs "invalid hwnd" for 0. */
export function SetWindowFocus(hwnd: Hwnd): void;
/** Makes `parent` the owner of `child`; failures are logged and returned with their error code. */
export function SetWindowParent(parent: Hwnd, child: Hwnd): OperationResult;
/** Starts exe (terminating every other process with its image name, except the calling process, its ancestors and descendants) unless the one it started last still runs; arguments are passed unquoted. */
export function StartProcess(exe: string, args: string[], workDir: string): StartProcessResult;
/** 1 when the file or directory has the hidden attribute; 0 otherwise, also for a missing path (logged). */
export function IsHiddenFile(path: string): Flag;
/** Marks the window full-screen so it stays above the taskbar; logs the "MarkFullscreenWindow ret:" result. */
export function SetWindowFrontTaskbar(hwnd: Hwnd): void;
/** The primary monitor's resolution; 0 × 0 when no display setting could be read (logged). */
export function GetMainMonitorReslution(): Resolution;
/** MAC addresses of the physical (not virtual, not loopback) network adapters, as "AA:BB:CC:DD:EE:FF"; [] when none can be listed. */
export function GetMacAddresses(): string[];
/** Sets the user environment variable "runmode" for this process and in the registry, and announces the change; failures are only logged. */
export function SetRunmode(mode: string): void;
/** Lets the window take activation (true) or not (false); failures are logged. */
export function SetWindowFocusable(hwnd: Hwnd, focusable: boolean): void;
/** The foreground window's handle, 0 when there is none. */
export function GetCurrentForegroundWindow(): Hwnd;
/** Reports releases of the six navigation keys to `callback`; replaces an earlier listener. */
export function HookKeyboardEvent(callback: (key: KeyName) => void): void;
/** Stops the keyboard listener; no release reaches JavaScript after it returns. */
export function UnHookKeyboardEvent(): void;
/** Moves the cursor to the physical pixel (x, y) of the virtual desktop, counted from its top-left corner; -1 on success, else the error code (logged). */
export function InputMouseMove(x: number, y: number): number;
/** Left click at the cursor; -1 on success, else the error code (logged). */
export function InputMouseLeftClick(): number;
/** Presses the left button at the cursor; -1 on success, else the error code (logged). */
export function InputMouseLeftDown(): number;
/** Releases the left button at the cursor; -1 on success, else the error code (logged). */
export function InputMouseLeftUp(): number;
/** Right click at the cursor; -1 on success, else the error code (logged). */
export function InputMouseRightClick(): number;
/** Presses the right button at the cursor; -1 on success, else the error code (logged). */
export function InputMouseRightDown(): number;
/** Releases the right button at the cursor; -1 on success, else the error code (logged). */
export function InputMouseRightUp(): number;
/** Lays a proxy window over a screen rectangle of `parent` that forwards mouse and touch input to it; `created` receives its handle, or 4294967295 on failure; an invalid parent is logged and never answered. */
export function WndProxyCreateProxyWindow(
  parent: Hwnd,
  x: number,
  y: number,
  width: number,
  height: number,
  created: (event: ProxyWindowEvent) => void,
): void;
/** Moves and resizes a proxy window; 1 on success, 0 on failure (logged). */
export function WndProxyResizeWindow(hwnd: Hwnd, x: number, y: number, width: number, height: number): Flag;
/** Closes one proxy window of this module; the close callback then receives its handle. Any other handle is logged ("not a proxy window") and left alone. */
export function WndProxyCloseWindow(hwnd: Hwnd): void;
/** Closes every proxy window of `parent` and clears the three proxy callbacks, without close callbacks. */
export function WndProxyCloseAllWindow(parent: Hwnd): void;
/** Sets the callback that receives each closed proxy window's handle. */
export function WndProxySetWindowCloseCB(callback: (event: ProxyWindowEvent) => void): void;
/** Sets the callback that receives a proxy window's handle when it gains the focus. */
export function WndProxySetFocusCB(callback: (event: ProxyWindowEvent) => void): void;
/** Sets the callback that receives a proxy window's handle when it loses the focus. */
export function WndProxySetBlurCB(callback: (event: ProxyWindowEvent) => void): void;
/** Draws a green click-through frame around every proxy window. */
export function WndProxyShowFrame(): void;
/** Closes every frame window, those still being made included; logs "close all frame window". */
export function WndProxyHideFrame(): void;
/** Sends the module's log records to `callback`, on the JavaScript thread; replaces an earlier one. */
export function SetLogCallBack(callback: (record: LogRecord) => void): void;
/** Stops sending log records; records already queued are dropped. */
export function UnSetLogCallBack(): void;
/** A string value under HKEY_LOCAL_MACHINE; "" when the key or value is missing (logged). */
export function GetMachineRegString(keyPath: string, itemKey: string): string;
/**
 * Tells the module the application is exiting: callbacks released from then on make no JavaScript call.
 * Called before the module was used, it counts once the calling thread uses it; from a thread that
 * does not own the module it throws "QUARNEL_MAIN_THREAD_ONLY" and changes nothing.
 */
export function ProgramWillQuit(): void;
