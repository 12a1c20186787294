// quarnel/checked: the same 32 functions as 'quarnel', with the same types. Where the main
// entry reads a value of the wrong type leniently (a string or a Buffer as 0), these throw a
// TypeError (code "QUARNEL_INVALID_ARGUMENT") naming the function and the argument. Use this
// entry where arguments come from outside TypeScript's reach (IPC, configuration, plain
// JavaScript); the main entry where they are already known good.
export * from '..';
