'use strict';
// How the helpers and the checked entry judge and show the values they are given.

const isInt32 = (value) => Number.isInteger(value) && value >= -(2 ** 31) && value < 2 ** 31;

/** A value as an error message shows it: its type, and the value where it is short. */
function describe(value) {
  if (typeof value === 'string') return `string ${JSON.stringify(value.length > 20 ? `${value.slice(0, 20)}...` : value)}`;
  if (typeof value === 'number' || typeof value === 'boolean' || typeof value === 'bigint') return `${typeof value} ${String(value)}`;
  if (value === null || value === undefined) return String(value);
  if (Buffer.isBuffer(value)) return 'a Buffer (handleFromBuffer reads the handle from it)';
  if (Array.isArray(value)) return 'an array';
  return typeof value === 'function' ? 'a function' : 'an object';
}

module.exports = { describe, isInt32 };
