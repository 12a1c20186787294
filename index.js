'use strict';
// Loads Quarnel.node for the running Windows architecture from prebuilds/.
const supported = process.platform === 'win32' && (process.arch === 'ia32' || process.arch === 'x64');
if (!supported) {
  throw new Error(`Quarnel supports Windows ia32 and x64; this is ${process.platform}-${process.arch}`);
}
module.exports = require('node-gyp-build')(__dirname);
