// Moves the keyboard focus to a window and says whether Windows really gave it the foreground
// (it may refuse a background process without a word).
//   node examples/verified-focus.js HWND
const { focusWindow } = require('quarnel/helpers');

const hwnd = Number(process.argv[2]);
if (!Number.isInteger(hwnd) || hwnd === 0) {
  console.error('usage: node examples/verified-focus.js HWND (a window handle, in decimal)');
  process.exit(2);
}
focusWindow(hwnd, { timeoutMs: 1000 }).then((focused) => {
  console.log(focused ? `window ${hwnd} has the focus` : `Windows did not give window ${hwnd} the focus`);
  process.exitCode = focused ? 0 : 1;
});
