// Must not compile: each line misuses the typings the way a real mistake would.
import * as quarnel from '../..';

quarnel.SetWindowFocus(true);
quarnel.IsHiddenFile('x') === true;
quarnel.HookKeyboardEvent((key) => key === 'home');
quarnel.SetWindowFocusable(1);
