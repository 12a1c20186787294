'use strict';
// Loads Quarnel.node for the running Windows architecture from prebuilds/.
const error = require('./lib/platform').unsupportedPlatformError();
if (error) throw error;
module.exports = require('node-gyp-build')(__dirname);
