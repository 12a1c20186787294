#pragma once

#include "addon/host_api.h"

// Defines the 32 exports on `exports`, in table order, each as a function without a name.
napi_value Init(napi_env env, napi_value exports);

class QuarnelAddon;

// An export's work, given its arguments already read.
using AddonMethod = napi_value (QuarnelAddon::*)(napi_env env, const napi_value* argv);
constexpr size_t kMaxArity = 6;

// Calls `method` on the instance owned by `env` with the call's first `arity` arguments, inside
// a handle scope that only the result leaves: refused (an error thrown) for any environment but
// the owner's, undefined once the process's exit stopped the module, a TypeError when fewer
// arguments were passed. No C++ exception leaves it.
napi_value CallExport(napi_env env, napi_callback_info info, size_t arity,
                      AddonMethod method) noexcept;

// The entry of one export: the table row names the method's arity once.
template <size_t Arity, AddonMethod Method>
napi_value Entry(napi_env env, napi_callback_info info) noexcept {
    static_assert(Arity <= kMaxArity, "an export reads at most kMaxArity arguments");
    return CallExport(env, info, Arity, Method);
}

// One row of an export table: the JavaScript name and its entry.
struct ExportRow {
    const char* name;
    napi_callback entry;
};

// Defines each row on `exports`; a row whose function cannot be made or set is skipped.
void DefineExports(napi_env env, napi_value exports, const ExportRow* rows, size_t count);
