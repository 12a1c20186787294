'use strict';
// require('quarnel/checked'): the 32 exports, throwing a TypeError for an argument of the wrong
// type instead of reading it leniently.
module.exports = require('./check').checkedExports(require('..'));
