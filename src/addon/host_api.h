#pragma once

// Node-API and libuv as the host executable exports them. The declarations come from the
// registries' headers; the definitions are the lazy bindings of host_binding.cpp.
#include <node_api.h>
#include <uv.h>

namespace host {

// True when every function the module calls is exported by the running host.
bool all_functions_bound();

// The names of the host functions that could not be found, for diagnostics.
const char* missing_functions();

}  // namespace host
