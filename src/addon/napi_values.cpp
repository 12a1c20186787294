#include "addon/napi_values.h"

#include <algorithm>

namespace napi {

// ---- scopes ----

handle_scope::handle_scope(napi_env env) : env_(env) {
    if (napi_open_handle_scope(env_, &scope_) != napi_ok) {
        scope_ = nullptr;
    }
}

void handle_scope::close() {
    if (scope_ != nullptr && napi_close_handle_scope(env_, scope_) == napi_ok) {
        scope_ = nullptr;
    }
}

escapable_handle_scope::escapable_handle_scope(napi_env env) : env_(env) {
    if (napi_open_escapable_handle_scope(env_, &scope_) != napi_ok) {
        scope_ = nullptr;
    }
}

void escapable_handle_scope::close() {
    if (scope_ != nullptr && napi_close_escapable_handle_scope(env_, scope_) == napi_ok) {
        scope_ = nullptr;
    }
}

napi_value escapable_handle_scope::escape(napi_value value) {
    napi_value escaped = nullptr;
    if (napi_escape_handle(env_, scope_, value, &escaped) != napi_ok) {
        return nullptr;
    }
    return escaped;
}

// ---- makers ----

namespace {

template <typename Create>
napi_value make_escaped(napi_env env, Create&& create) {
    escapable_handle_scope scope(env);
    napi_value value = nullptr;
    if (create(&value) != napi_ok || value == nullptr) {
        return nullptr;
    }
    return scope.escape(value);
}

}  // namespace

napi_value make_int32(napi_env env, const int32_t& value) {
    return make_escaped(env, [&](napi_value* out) { return napi_create_int32(env, value, out); });
}

napi_value make_bool(napi_env env, const bool& value) {
    return make_escaped(
        env, [&](napi_value* out) { return napi_create_int32(env, value ? 1 : 0, out); });
}

napi_value make_uint32(napi_env env, const uint32_t& value) {
    return make_escaped(env, [&](napi_value* out) { return napi_create_uint32(env, value, out); });
}

napi_value make_int64(napi_env env, const int64_t& value) {
    return make_escaped(env, [&](napi_value* out) { return napi_create_int64(env, value, out); });
}

napi_value make_string(napi_env env, const std::string& value) {
    return make_escaped(env, [&](napi_value* out) {
        return napi_create_string_utf8(env, value.c_str(), NAPI_AUTO_LENGTH, out);
    });
}

napi_value make_string_array(napi_env env, const std::vector<std::string>& values) {
    return make_escaped(env, [&](napi_value* out) {
        napi_status status = napi_create_array(env, out);
        if (status != napi_ok || *out == nullptr) {
            return status;
        }
        for (uint32_t i = 0; i < values.size(); ++i) {
            handle_scope element_scope(env);
            napi_set_element(env, *out, i, make_string(env, values[i]));
        }
        return napi_ok;
    });
}

// ---- readers ----

int32_t get_int32(napi_env env, napi_value value) {
    handle_scope scope(env);
    int32_t result = 0;
    if (napi_get_value_int32(env, value, &result) != napi_ok) {
        return 0;
    }
    return result;
}

bool get_bool(napi_env env, napi_value value) {
    handle_scope scope(env);
    bool result = false;
    if (napi_get_value_bool(env, value, &result) != napi_ok) {
        return false;
    }
    return result;
}

std::string get_string(napi_env env, napi_value value) {
    handle_scope scope(env);
    size_t length = 0;
    if (napi_get_value_string_utf8(env, value, nullptr, 0, &length) != napi_ok) {
        return std::string();
    }
    std::string text(length + 1, '\0');
    size_t copied = 0;
    if (napi_get_value_string_utf8(env, value, &text[0], text.size(), &copied) != napi_ok) {
        return std::string();
    }
    text.resize(length);
    return text;
}

std::vector<std::string> get_string_array(napi_env env, napi_value value, uint32_t limit) {
    handle_scope scope(env);
    std::vector<std::string> result;
    bool isArray = false;
    if (napi_is_array(env, value, &isArray) != napi_ok || !isArray) {
        return result;
    }
    uint32_t length = 0;
    if (napi_get_array_length(env, value, &length) != napi_ok) {
        return result;
    }
    length = std::min(length, limit);
    for (uint32_t i = 0; i < length; ++i) {
        handle_scope element_scope(env);
        napi_value element = nullptr;
        if (napi_get_element(env, value, i, &element) != napi_ok) {
            // A getter threw: the element is read as any other non-string, and the exception
            // must not reach the caller of an export that only reads its arguments.
            bool pending = false;
            napi_value ignored = nullptr;
            if (napi_is_exception_pending(env, &pending) != napi_ok || !pending ||
                napi_get_and_clear_last_exception(env, &ignored) != napi_ok) {
                break;
            }
            result.emplace_back();
            continue;
        }
        result.push_back(get_string(env, element));
    }
    return result;
}

}  // namespace napi
