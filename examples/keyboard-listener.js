// Prints each released navigation key, wherever the keyboard focus is, until Page Down.
//   node examples/keyboard-listener.js
const quarnel = require('quarnel');

// The module holds no event loop of its own: something must keep the process alive.
const alive = setInterval(() => {}, 1000);

quarnel.HookKeyboardEvent((key) => {
  console.log('released', key);
  if (key === 'pageDown') {
    quarnel.UnHookKeyboardEvent();
    clearInterval(alive);
  }
});
console.log('listening: press the arrow keys, Page Up; Page Down ends');
