// Compiles only if the typings describe the module as applications use it.
import * as quarnel from '../..';
import { createProxyWindow, focusWindow, handleFromBuffer, isSupported, KEY_NAMES, SEVERITY, INVALID_HWND } from '../../lib/helpers';
import * as checked from '../../lib/checked';
import type { KeyName, LogRecord, OperationResult, StartProcessResult } from '../..';

const hwnd: number = quarnel.GetCurrentForegroundWindow();
quarnel.SetWindowFocus(hwnd);
quarnel.SetWindowFocusable(hwnd, false);
quarnel.SetWindowFrontTaskbar(hwnd);
const parent: OperationResult = quarnel.SetWindowParent(hwnd, hwnd);
const ok: 1 | 0 = parent.status;
const started: StartProcessResult = quarnel.StartProcess('C:\\app.exe', ['--x'], '');
const pid: number = started.pid + started.errorCode + ok;
const hidden: 1 | 0 = quarnel.IsHiddenFile('C:\\x');
const { width, height } = quarnel.GetMainMonitorReslution();
const macs: string[] = quarnel.GetMacAddresses();
quarnel.SetRunmode('test');
quarnel.HookKeyboardEvent((key: KeyName) => {
  if (key === 'pageDown') quarnel.UnHookKeyboardEvent();
});
const moved: number = quarnel.InputMouseMove(width / 2, height / 2);
const clicks: number[] = [
  quarnel.InputMouseLeftClick(), quarnel.InputMouseLeftDown(), quarnel.InputMouseLeftUp(),
  quarnel.InputMouseRightClick(), quarnel.InputMouseRightDown(), quarnel.InputMouseRightUp(),
];
quarnel.WndProxyCreateProxyWindow(hwnd, 0, 0, 100, 100, ({ hwnd: proxy }) => {
  const resized: 1 | 0 = quarnel.WndProxyResizeWindow(proxy, 10, 10, 50, 50);
  if (resized) quarnel.WndProxyCloseWindow(proxy);
});
quarnel.WndProxySetWindowCloseCB(({ hwnd: closed }) => closed);
quarnel.WndProxySetFocusCB((event) => event.hwnd);
quarnel.WndProxySetBlurCB((event) => event.hwnd);
quarnel.WndProxyShowFrame();
quarnel.WndProxyHideFrame();
quarnel.WndProxyCloseAllWindow(hwnd);
quarnel.SetLogCallBack((record: LogRecord) => {
  const parts: [number, 1 | 2 | 3, string, string, string] =
    [record.line, record.severity, record.file, record.func, record.content];
  return parts;
});
quarnel.UnSetLogCallBack();
const product: string = quarnel.GetMachineRegString('SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion', 'ProductName');
quarnel.ProgramWillQuit();

const fromElectron: number = handleFromBuffer(Buffer.alloc(8));
const names: readonly KeyName[] = KEY_NAMES;
const error: 3 = SEVERITY.ERROR;
const proxy: Promise<number> = createProxyWindow(fromElectron, { x: 0, y: 0, width: 10, height: 10 }, { timeoutMs: 100 });
const focused: Promise<boolean> = focusWindow(fromElectron, { timeoutMs: 100 });
const supported: boolean = isSupported();
const checkedResult: 1 | 0 = checked.WndProxyResizeWindow(hwnd, 0, 0, 1, 1);
export { pid, hidden, macs, moved, clicks, product, names, error, proxy, focused, INVALID_HWND, supported, checkedResult };
