// ESM entry of quarnel/helpers, named export by named export; loads on every system.
import { createRequire } from 'node:module';

const helpers = createRequire(import.meta.url)('./helpers.js');

export default helpers;
export const {
  KEY_NAMES,
  SEVERITY,
  INVALID_HWND,
  handleFromBuffer,
  createProxyWindow,
  focusWindow,
  isSupported,
} = helpers;
