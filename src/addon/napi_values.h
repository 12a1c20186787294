#pragma once

// Values across the Node-API boundary: handle scopes, makers and lenient readers.
#include "addon/host_api.h"

#include <cstdint>
#include <string>
#include <vector>

namespace napi {

class handle_scope {
public:
    explicit handle_scope(napi_env env);
    ~handle_scope() { close(); }
    handle_scope(const handle_scope&) = delete;
    handle_scope& operator=(const handle_scope&) = delete;
    void close();

private:
    napi_env env_;
    napi_handle_scope scope_ = nullptr;
};

class escapable_handle_scope {
public:
    explicit escapable_handle_scope(napi_env env);
    ~escapable_handle_scope() { close(); }
    escapable_handle_scope(const escapable_handle_scope&) = delete;
    escapable_handle_scope& operator=(const escapable_handle_scope&) = delete;
    void close();
    napi_value escape(napi_value value);

private:
    napi_env env_;
    napi_escapable_handle_scope scope_ = nullptr;
};

// Makers: null when the host call fails.
napi_value make_int32(napi_env env, const int32_t& value);
napi_value make_bool(napi_env env, const bool& value);  // 1 or 0, never a JavaScript boolean
napi_value make_uint32(napi_env env, const uint32_t& value);
napi_value make_int64(napi_env env, const int64_t& value);
napi_value make_string(napi_env env, const std::string& value);  // ends at the first zero byte
napi_value make_string_array(napi_env env, const std::vector<std::string>& values);

// Lenient readers: a value of the wrong type reads as 0, false, "" or an empty list.
int32_t get_int32(napi_env env, napi_value value);
bool get_bool(napi_env env, napi_value value);
std::string get_string(napi_env env, napi_value value);
// At most `limit` elements: a sparse array's length costs nothing until it is read.
std::vector<std::string> get_string_array(napi_env env, napi_value value,
                                          uint32_t limit = UINT32_MAX);

// A new object with the members `fill` sets through set(name, value), in that order; a member
// whose value could not be made is left out. Null when the object cannot be made.
template <typename Fill>
napi_value make_object(napi_env env, Fill&& fill) {
    napi_value object = nullptr;
    if (napi_create_object(env, &object) != napi_ok || object == nullptr) {
        return nullptr;
    }
    fill([env, object](const char* name, napi_value value) {
        if (value != nullptr) {
            napi_set_named_property(env, object, name, value);
        }
    });
    return object;
}

}  // namespace napi
