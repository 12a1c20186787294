'use strict';
// The exports with their arguments checked: the module itself reads a wrong type leniently (a
// string as 0, a Buffer handle as 0), which is its contract; these wrappers throw instead.
const { describe, isInt32 } = require('./values');

// kind: [accepts(value), what the message says is expected]
const KINDS = {
  // Handles travel signed into the module and unsigned in proxy events: both forms are accepted.
  handle: [(v) => Number.isInteger(v) && v >= -(2 ** 31) && v < 2 ** 32, 'a window handle (an integer)'],
  int: [isInt32, 'a 32-bit integer'],
  string: [(v) => typeof v === 'string', 'a string'],
  strings: [(v) => Array.isArray(v) && v.every((e) => typeof e === 'string'), 'an array of strings'],
  boolean: [(v) => typeof v === 'boolean', 'a boolean'],
  function: [(v) => typeof v === 'function', 'a function'],
};

const SIGNATURES = {
  SetWindowFocus: 'hwnd:handle',
  SetWindowParent: 'parent:handle child:handle',
  StartProcess: 'exe:string args:strings workDir:string',
  IsHiddenFile: 'path:string',
  SetWindowFrontTaskbar: 'hwnd:handle',
  GetMainMonitorReslution: '',
  GetMacAddresses: '',
  SetRunmode: 'mode:string',
  SetWindowFocusable: 'hwnd:handle focusable:boolean',
  GetCurrentForegroundWindow: '',
  HookKeyboardEvent: 'callback:function',
  UnHookKeyboardEvent: '',
  InputMouseMove: 'x:int y:int',
  InputMouseLeftClick: '',
  InputMouseLeftDown: '',
  InputMouseLeftUp: '',
  InputMouseRightClick: '',
  InputMouseRightDown: '',
  InputMouseRightUp: '',
  WndProxyCreateProxyWindow: 'parent:handle x:int y:int width:int height:int created:function',
  WndProxyResizeWindow: 'hwnd:handle x:int y:int width:int height:int',
  WndProxyCloseWindow: 'hwnd:handle',
  WndProxyCloseAllWindow: 'parent:handle',
  WndProxySetWindowCloseCB: 'callback:function',
  WndProxySetFocusCB: 'callback:function',
  WndProxySetBlurCB: 'callback:function',
  WndProxyShowFrame: '',
  WndProxyHideFrame: '',
  SetLogCallBack: 'callback:function',
  UnSetLogCallBack: '',
  GetMachineRegString: 'keyPath:string itemKey:string',
  ProgramWillQuit: '',
};

/** The functions of `native`, each checking its arguments before it calls the original. */
function checkedExports(native) {
  const checked = {};
  for (const [name, signature] of Object.entries(SIGNATURES)) {
    const original = native[name];
    const params = signature.split(' ').filter(Boolean).map((p) => p.split(':'));
    checked[name] = {
      [name](...args) {
        params.forEach(([param, kind], i) => {
          const [accepts, expected] = KINDS[kind];
          if (!accepts(args[i])) {
            const error = new TypeError(`${name}: ${param} must be ${expected}, got ${describe(args[i])}`);
            error.code = 'QUARNEL_INVALID_ARGUMENT';
            throw error;
          }
        });
        return original(...args);
      },
    }[name];
  }
  return checked;
}

module.exports = { checkedExports, SIGNATURES };
