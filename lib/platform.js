'use strict';
// Where a prebuilt module exists. The package installs on every system (a cross-platform
// application lists it for all its developers and its CI); only loading it elsewhere fails.
const SUPPORTED = ['win32-ia32', 'win32-x64'];

const platformName = () => `${process.platform}-${process.arch}`;

/** The Error that loading the module here gives, or null where a module exists. */
function unsupportedPlatformError() {
  if (SUPPORTED.includes(platformName())) return null;
  const error = new Error(`Quarnel supports Windows ia32 and x64; this is ${platformName()}`);
  error.code = 'QUARNEL_UNSUPPORTED_PLATFORM';
  return error;
}

module.exports = { unsupportedPlatformError };
