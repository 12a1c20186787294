// ESM entry: the same module instance as require('quarnel'), with each export named so that
// `import { SetWindowFocus } from 'quarnel'` resolves (a CommonJS object built at run time has
// no names an import can see).
import { createRequire } from 'node:module';

const quarnel = createRequire(import.meta.url)('./index.js');

export default quarnel;
export const {
  SetWindowFocus,
  SetWindowParent,
  StartProcess,
  IsHiddenFile,
  SetWindowFrontTaskbar,
  GetMainMonitorReslution,
  GetMacAddresses,
  SetRunmode,
  SetWindowFocusable,
  GetCurrentForegroundWindow,
  HookKeyboardEvent,
  UnHookKeyboardEvent,
  InputMouseMove,
  InputMouseLeftClick,
  InputMouseLeftDown,
  InputMouseLeftUp,
  InputMouseRightClick,
  InputMouseRightDown,
  InputMouseRightUp,
  WndProxyCreateProxyWindow,
  WndProxyResizeWindow,
  WndProxyCloseWindow,
  WndProxyCloseAllWindow,
  WndProxySetWindowCloseCB,
  WndProxySetFocusCB,
  WndProxySetBlurCB,
  WndProxyShowFrame,
  WndProxyHideFrame,
  SetLogCallBack,
  UnSetLogCallBack,
  GetMachineRegString,
  ProgramWillQuit,
} = quarnel;
