// Entry points that only tests use, on top of the module's own 32 exports. Never shipped.
#include "addon/exports.h"
#include "addon/quarnel_addon.h"
#include "core/logging.h"
#include "impl/input_integrity.h"
#include "impl/operation_result.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

void DefineBenchExports(napi_env env, napi_value exports);

namespace {

template <size_t N>
bool Args(napi_env env, napi_callback_info info, napi_value (&argv)[N]) {
    size_t argc = N;
    for (auto& value : argv) {
        napi_get_undefined(env, &value);
    }
    return napi_get_cb_info(env, info, &argc, argv, nullptr, nullptr) == napi_ok;
}

// What a component would hold: the strong share of each callback, until replaced. Queued
// events carry no share of it.
std::shared_ptr<napi::napi_callback> heldCallbacks[4];
enum Held { kKeys, kProxy, kTouch };

std::shared_ptr<napi::napi_callback> Hold(Held slot, napi_env env, napi_value value) {
    heldCallbacks[slot] = napi::make_callback(env, value);
    return heldCallbacks[slot];
}

// Tests call these from the owning thread only.
QuarnelAddon& Addon(napi_env env) {
    QuarnelAddon* addon = QuarnelAddon::ForEnvironment(env);
    if (addon == nullptr) {
        std::abort();
    }
    return *addon;
}

// ---- the bridge's readers and makers ----

// Reads the first argument with one of the bridge's readers and hands it back through a maker.
template <auto Read, auto Make>
napi_value Echo(napi_env env, napi_callback_info info) {
    napi_value argv[1];
    Args(env, info, argv);
    return Make(env, Read(env, argv[0]));
}

std::vector<std::string> GetStringArray(napi_env env, napi_value value) {
    return napi::get_string_array(env, value);
}

napi_value MakeStringWithZero(napi_env env, napi_callback_info) {
    return napi::make_string(env, std::string("ab\0cd", 5));
}

// ---- the event queue ----

// postKeyEvents(callback, codes): a worker thread posts one keyboard task per code and is
// joined before returning, so every item waits before the JavaScript thread drains them.
napi_value PostKeyEvents(napi_env env, napi_callback_info info) {
    napi_value argv[2];
    Args(env, info, argv);
    QuarnelAddon& addon = Addon(env);
    auto callback = Hold(kKeys, env, argv[0]);
    std::vector<std::string> codes = napi::get_string_array(env, argv[1]);
    std::thread worker([&addon, callback, &codes] {
        for (const std::string& code : codes) {
            addon.OnKeyboardEvent(callback, std::stoi(code));
        }
    });
    worker.join();
    return nullptr;
}

// postProxyEvent(callback, hwnd)
napi_value PostProxyEvent(napi_env env, napi_callback_info info) {
    napi_value argv[2];
    Args(env, info, argv);
    QuarnelAddon& addon = Addon(env);
    auto callback = Hold(kProxy, env, argv[0]);
    int hwnd = napi::get_int32(env, argv[1]);
    std::thread([&addon, callback, hwnd] { addon.OnProxyWindowCreated(callback, hwnd); }).join();
    return nullptr;
}

// postTouchEvent(callback, [touchType, x, y, id, time, ...]) as decimal strings.
napi_value PostTouchEvent(napi_env env, napi_callback_info info) {
    napi_value argv[2];
    Args(env, info, argv);
    QuarnelAddon& addon = Addon(env);
    auto callback = Hold(kTouch, env, argv[0]);
    std::vector<std::string> fields = napi::get_string_array(env, argv[1]);
    std::vector<TouchPoint> points;
    for (size_t i = 0; i + 4 < fields.size(); i += 5) {
        points.push_back({std::stoi(fields[i]), std::stoi(fields[i + 1]), std::stoi(fields[i + 2]),
                          static_cast<uint32_t>(std::stoul(fields[i + 3])),
                          static_cast<uint32_t>(std::stoul(fields[i + 4]))});
    }
    std::thread([&addon, callback, &points] { addon.OnTouchEvent(callback, points); }).join();
    return nullptr;
}

// postWindowsAmidLogs(callback, windows, logsEach): a worker thread posts `windows` creation
// events (handles 0, 1, ...), each followed by `logsEach` log records, and is joined first.
napi_value PostWindowsAmidLogs(napi_env env, napi_callback_info info) {
    napi_value argv[3];
    Args(env, info, argv);
    QuarnelAddon& addon = Addon(env);
    auto callback = Hold(kProxy, env, argv[0]);
    const int windows = napi::get_int32(env, argv[1]);
    const int logsEach = napi::get_int32(env, argv[2]);
    std::thread([&addon, callback, windows, logsEach] {
        for (int hwnd = 0; hwnd < windows; ++hwnd) {
            addon.OnProxyWindowCreated(callback, hwnd);
            for (int i = 0; i < logsEach; ++i) {
                QLOG(LOG_INFO) << "after window " << hwnd;
            }
        }
    }).join();
    return nullptr;
}

// writeLogs(threads, perThread): worker threads write log records at once.
napi_value WriteLogs(napi_env env, napi_callback_info info) {
    napi_value argv[2];
    Args(env, info, argv);
    Addon(env);
    const int threads = napi::get_int32(env, argv[0]);
    const int perThread = napi::get_int32(env, argv[1]);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, perThread] {
            for (int i = 0; i < perThread; ++i) {
                QLOG(LOG_INFO) << "thread " << t << " record " << i;
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    return nullptr;
}

// releaseOnWorker(callback, flood): a worker thread posts `flood` keyboard events for a new
// callback and then drops the callback's only share. Its reference must still be deleted,
// on the JavaScript thread, however full the queue is.
napi_value ReleaseOnWorker(napi_env env, napi_callback_info info) {
    napi_value argv[2];
    Args(env, info, argv);
    QuarnelAddon& addon = Addon(env);
    auto callback = napi::make_callback(env, argv[0]);
    const int flood = napi::get_int32(env, argv[1]);
    std::thread(
        [&addon, flood](std::shared_ptr<napi::napi_callback> last) {
            for (int i = 0; i < flood; ++i) {
                addon.OnKeyboardEvent(last, i % 6);
            }
            last.reset();
        },
        std::move(callback))
        .join();
    return nullptr;
}

// startBackgroundPosting(callback, threads): threads that post keyboard events and write log
// records until the process ends, to test exits with work in flight. Like the module's own
// threads they end when the process announces its exit.
// Counted rather than kept: a std::thread still joinable when the process ends without its
// exit event (a kill) would terminate it from a static destructor.
std::atomic<bool> postersStop{false};
std::atomic<int> postersRunning{0};

napi_value StopBackgroundPosting(napi_env, napi_callback_info) noexcept {
    postersStop.store(true);
    for (int waited = 0; postersRunning.load() > 0 && waited < 2000; ++waited) {
        Sleep(1);
    }
    return nullptr;
}

napi_value StartBackgroundPosting(napi_env env, napi_callback_info info) {
    napi_value argv[2];
    Args(env, info, argv);
    QuarnelAddon& addon = Addon(env);
    auto callback = Hold(kKeys, env, argv[0]);
    const int threads = napi::get_int32(env, argv[1]);
    static const bool listening = napi::on_process_exit(env, StopBackgroundPosting, nullptr);
    (void)listening;
    for (int t = 0; t < threads; ++t) {
        std::weak_ptr<napi::napi_callback> weak = callback;
        ++postersRunning;
        std::thread([&addon, weak, t] {
            for (unsigned i = 0; !postersStop.load() && napi::lifecycle().calls_host(); ++i) {
                if (auto strong = weak.lock()) {
                    addon.OnKeyboardEvent(strong, static_cast<int>(i % 6));
                }
                QLOG(LOG_INFO) << "background " << t << " " << i;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            --postersRunning;
        }).detach();
    }
    return nullptr;
}

// integrityLevels(hwnd): [the host's integrity level, that of the window's process], -1 for a
// level the system does not tell.
napi_value IntegrityLevels(napi_env env, napi_callback_info info) {
    napi_value argv[1];
    Args(env, info, argv);
    DWORD pid = 0;
    GetWindowThreadProcessId(win32::ToHwnd(napi::get_int32(env, argv[0])), &pid);
    const win32::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    const std::optional<uint32_t> levels[] = {
        HostIntegrityLevel(),
        process ? ProcessIntegrityLevel(process.get()) : std::nullopt,
    };
    napi_value result = nullptr;
    napi_create_array(env, &result);
    for (uint32_t i = 0; i < 2; ++i) {
        napi_set_element(env, result, i,
                         napi::make_int32(env, levels[i] ? static_cast<int32_t>(*levels[i]) : -1));
    }
    return result;
}

// The text an OperationResult would carry for an error code.
napi_value ErrorText(napi_env env, napi_callback_info info) {
    napi_value argv[1];
    Args(env, info, argv);
    const auto code = static_cast<uint32_t>(napi::get_int32(env, argv[0]));
    return napi::make_string(env, ErrorCodeText(code));
}

napi_value HookTouchEvent(napi_env env, napi_callback_info info) {
    return Addon(env).HookTouchEvent(env, info);
}

const ExportRow kTestExports[] = {
    {"getInt32", Echo<napi::get_int32, napi::make_int32>},
    {"getBool", Echo<napi::get_bool, napi::make_bool>},
    {"getString", Echo<napi::get_string, napi::make_string>},
    {"getStringArray", Echo<GetStringArray, napi::make_string_array>},
    {"makeStringWithZero", MakeStringWithZero},
    {"makeInt64", Echo<napi::get_int32, napi::make_int64>},
    {"postKeyEvents", PostKeyEvents},
    {"postProxyEvent", PostProxyEvent},
    {"postTouchEvent", PostTouchEvent},
    {"writeLogs", WriteLogs},
    {"postWindowsAmidLogs", PostWindowsAmidLogs},
    {"hookTouchEvent", HookTouchEvent},
    {"releaseOnWorker", ReleaseOnWorker},
    {"startBackgroundPosting", StartBackgroundPosting},
    {"integrityLevels", IntegrityLevels},
    {"errorText", ErrorText},
};

napi_value TestInit(napi_env env, napi_value exports) noexcept {
    try {
        Init(env, exports);
        napi_value test = nullptr;
        if (napi_create_object(env, &test) == napi_ok) {
            DefineExports(env, test, kTestExports, sizeof(kTestExports) / sizeof(kTestExports[0]));
            DefineBenchExports(env, test);
            napi_set_named_property(env, exports, "test", test);
        }
    } catch (...) {
    }
    return exports;
}

napi_module testModule = {
    1, 0, __FILE__, TestInit, "quarnel_test", nullptr, {nullptr, nullptr, nullptr, nullptr}};

void RegisterTestModule() {
    napi_module_register(&testModule);
}

}  // namespace

extern "C" {
__declspec(dllexport) void (*_register_quarnel_test_)(void)
    __attribute__((section(".CRT$XCT"), used)) = RegisterTestModule;
}
