#include "addon/queued_event.h"

#include "addon/napi_values.h"
#include "core/key_names.h"

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
            argument = napi::make_object(env, [&](auto&& set) {
                set("hwnd", napi::make_uint32(env, static_cast<uint32_t>(value)));
            });
            break;
        case Kind::Touch:
            if (detail == nullptr) {
                break;
            }
            argument = napi::make_object(env, [&](auto&& set) {
                set("points", napi::make_string(env, quarnel::TouchPointsJson(detail->points)));
            });
            break;
        case Kind::Log:
            if (detail == nullptr) {
                break;
            }
            argument = napi::make_object(env, [&](auto&& set) {
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
