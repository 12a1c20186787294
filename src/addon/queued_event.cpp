#include "addon/queued_event.h"

#include "core/key_names.h"

namespace {

// The argument of a Window, Touch or Log event: a fresh object with its members set.
template <typename Fill>
napi_value MakeObject(napi_env env, Fill&& fill) {
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

}  // namespace

void QueuedEvent::Deliver(uint32_t lostBefore) const {
    if (callback == nullptr || callback->revoked() || callback->env() == nullptr) {
        return;
    }
    const napi_env env = callback->env();
    napi::handle_scope scope(env);
    napi_value argument = nullptr;
    switch (kind) {
        case Kind::Key:
            if (const char* name = quarnel::KeyCodeName(value)) {
                argument = napi::make_string(env, name);
            }
            break;
        case Kind::Window:
            argument = MakeObject(env, [&](auto&& set) {
                set("hwnd", napi::make_uint32(env, static_cast<uint32_t>(value)));
            });
            break;
        case Kind::Touch:
            if (detail == nullptr) {
                break;
            }
            argument = MakeObject(env, [&](auto&& set) {
                set("points", napi::make_string(env, quarnel::TouchPointsJson(detail->points)));
            });
            break;
        case Kind::Log:
            if (detail == nullptr) {
                break;
            }
            argument = MakeObject(env, [&](auto&& set) {
                set("line", napi::make_uint32(env, static_cast<uint32_t>(value)));
                set("severity", napi::make_uint32(env, severity));
                set("file", napi::make_string(env, detail->file));
                set("func", napi::make_string(env, detail->func));
                set("content", napi::make_string(env, detail->content));
                if (lostBefore != 0) {
                    set("lost", napi::make_uint32(env, lostBefore));
                }
            });
            break;
        case Kind::None:
            break;
    }
    if (argument != nullptr) {
        callback->call(1, &argument);
    }
}
