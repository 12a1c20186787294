#pragma once

#include "addon/host_api.h"

// Defines the 32 exports on `exports`, in table order, each as a function without a name.
napi_value Init(napi_env env, napi_value exports);

// One row of an export table: the JavaScript name and its entry.
struct ExportRow {
    const char* name;
    napi_callback entry;
};

// Defines each row on `exports`; a row whose function cannot be made or set is skipped.
void DefineExports(napi_env env, napi_value exports, const ExportRow* rows, size_t count);
