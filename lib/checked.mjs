// ESM entry of quarnel/checked, named export by named export.
import { createRequire } from 'node:module';

const checked = createRequire(import.meta.url)('./checked.js');

export default checked;
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
} = checked;
