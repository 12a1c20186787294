// Electron main process: focus the app's window, hear the navigation keys, lay a proxy window
// and its frame over another application's window, and answer the renderer over IPC.
const { app, BrowserWindow, ipcMain } = require('electron');
const quarnel = require('quarnel');
const { handleFromBuffer, createProxyWindow, focusWindow, SEVERITY } = require('quarnel/helpers');

app.whenReady().then(async () => {
  quarnel.SetLogCallBack((record) => {
    if (record.severity === SEVERITY.ERROR) console.error(`${record.func}: ${record.content}`);
  });

  const win = new BrowserWindow({ width: 800, height: 600 });
  const hwnd = handleFromBuffer(win.getNativeWindowHandle());
  quarnel.SetWindowFocus(hwnd);

  // Renderers cannot load the module: they ask the main process, which owns it.
  ipcMain.handle('focus-main-window', () => focusWindow(hwnd));

  // Released navigation keys, wherever the focus is.
  quarnel.HookKeyboardEvent((key) => console.log('released', key));

  // Input over the proxy goes to the other application's window; a green frame shows where.
  const other = Number(process.env.OTHER_APP_HWND);
  quarnel.WndProxySetFocusCB(({ hwnd: proxy }) => console.log('proxy focused', proxy));
  quarnel.WndProxySetWindowCloseCB(({ hwnd: proxy }) => console.log('proxy closed', proxy));
  try {
    const proxy = await createProxyWindow(other, { x: 100, y: 100, width: 300, height: 200 });
    quarnel.WndProxyShowFrame();
    console.log('proxy window', proxy);
  } catch (error) {
    console.error(error.message);
  }

  app.on('before-quit', () => {
    quarnel.UnHookKeyboardEvent();
    quarnel.WndProxyHideFrame();
    quarnel.WndProxyCloseAllWindow(other);
    quarnel.ProgramWillQuit();
  });
});
