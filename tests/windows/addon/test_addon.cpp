// Entry points that only tests use, on top of the module's own 32 exports. Never shipped.
#include "addon/exports.h"
#include "addon/lifetime.h"
#include "addon/napi_values.h"
#include "addon/quarnel_addon.h"
#include "core/logging.h"
#include "impl/input_integrity.h"
#include "impl/operation_result.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"
#include "impl/win_keyboard_hook_impl.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <mutex>
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
    QuarnelAddon* addon = Lifetime::ForEnvironment(env);
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
    std::vector<quarnel::TouchPoint> points;
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
    static const bool listening =
        Lifetime::ListenForProcessExit(env, StopBackgroundPosting, nullptr);
    (void)listening;
    for (int t = 0; t < threads; ++t) {
        std::weak_ptr<napi::napi_callback> weak = callback;
        ++postersRunning;
        std::thread([&addon, weak, t] {
            for (unsigned i = 0; !postersStop.load() && Lifetime::CallsHost(); ++i) {
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

// ---- the keyboard hook: fault injection and a key injector ----

// keyboardHookFault(what, value): does to the module's hook what Windows or a starved machine
// can. "remove": the hook goes behind the module's back, as after its time-outs (1 if it was
// there). "stall": the hook thread is suspended for `value` ms, from another thread, so the
// call returns at once. "failInstalls": the next `value` installs fail. "session": the hook
// thread's window is told of the session change `value` (WTS_SESSION_UNLOCK is 8).
napi_value KeyboardHookFault(napi_env env, napi_callback_info info) {
    napi_value argv[2];
    Args(env, info, argv);
    const std::string what = napi::get_string(env, argv[0]);
    const int value = napi::get_int32(env, argv[1]);
    bool done = false;
    if (what == "remove") {
        const HHOOK hook = WinKeyboardHookImpl::LiveHook();
        done = hook != nullptr && UnhookWindowsHookEx(hook);
    } else if (what == "stall") {
        win32::UniqueHandle thread(
            OpenThread(THREAD_SUSPEND_RESUME, FALSE, WinKeyboardHookImpl::HookThread()));
        done = thread && SuspendThread(thread.get()) != static_cast<DWORD>(-1);
        if (done) {
            std::thread(
                [value](win32::UniqueHandle suspended) {
                    Sleep(static_cast<DWORD>(value));
                    ResumeThread(suspended.get());
                },
                std::move(thread))
                .detach();
        }
    } else if (what == "failInstalls") {
        WinKeyboardHookImpl::FailInstalls(value);
        done = true;
    } else if (what == "session") {
        done = PostMessageW(WinKeyboardHookImpl::WatchWindow(), WM_WTSSESSION_CHANGE,
                            static_cast<WPARAM>(value), 0);
    }
    return napi::make_bool(env, done);
}

// The same injector for every listener the key benchmark compares: a thread of this process
// taps one key `count` times, `intervalMs` apart, and notes the time just before each release;
// listeners call keyArrived() from their callbacks. Times are the performance counter's.
struct KeyRun {
    std::mutex mutex;
    std::vector<int64_t> sent, arrived;
    std::atomic<bool> done{true};
};
KeyRun keyRun;

int64_t Counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// injectKeys(vk, count, intervalMs)
napi_value InjectKeys(napi_env env, napi_callback_info info) {
    napi_value argv[3];
    Args(env, info, argv);
    const auto vk = static_cast<WORD>(napi::get_int32(env, argv[0]));
    const int count = napi::get_int32(env, argv[1]);
    const int interval = napi::get_int32(env, argv[2]);
    {
        std::lock_guard<std::mutex> lock(keyRun.mutex);
        keyRun.sent.clear();
        keyRun.arrived.clear();
        keyRun.sent.reserve(static_cast<size_t>(count));
        keyRun.arrived.reserve(static_cast<size_t>(count));
    }
    keyRun.done.store(false);
    std::thread([vk, count, interval] {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = vk;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        for (int i = 0; i < count; ++i) {
            Sleep(static_cast<DWORD>(interval));
            SendInput(1, &input[0], sizeof(INPUT));
            const int64_t sent = Counter();
            {
                std::lock_guard<std::mutex> lock(keyRun.mutex);
                keyRun.sent.push_back(sent);
            }
            SendInput(1, &input[1], sizeof(INPUT));
        }
        keyRun.done.store(true);
    }).detach();
    return nullptr;
}

napi_value KeyArrived(napi_env, napi_callback_info) {
    const int64_t now = Counter();
    std::lock_guard<std::mutex> lock(keyRun.mutex);
    keyRun.arrived.push_back(now);
    return nullptr;
}

// keyLatencies(): undefined while the injector runs, then the latency of each release in µs
// (as many as arrived; a release that never arrived ends the list).
napi_value KeyLatencies(napi_env env, napi_callback_info) {
    if (!keyRun.done.load()) {
        return nullptr;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::lock_guard<std::mutex> lock(keyRun.mutex);
    napi_value result = nullptr;
    napi_create_array(env, &result);
    const size_t n = std::min(keyRun.sent.size(), keyRun.arrived.size());
    for (size_t i = 0; i < n; ++i) {
        const double us = static_cast<double>(keyRun.arrived[i] - keyRun.sent[i]) * 1e6 /
                          static_cast<double>(frequency.QuadPart);
        napi_value value = nullptr;
        napi_create_double(env, us, &value);
        napi_set_element(env, result, static_cast<uint32_t>(i), value);
    }
    return result;
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
    {"hookTouchEvent", Entry<2, &QuarnelAddon::HookTouchEvent>},
    {"releaseOnWorker", ReleaseOnWorker},
    {"startBackgroundPosting", StartBackgroundPosting},
    {"integrityLevels", IntegrityLevels},
    {"errorText", ErrorText},
    {"keyboardHookFault", KeyboardHookFault},
    {"injectKeys", InjectKeys},
    {"keyArrived", KeyArrived},
    {"keyLatencies", KeyLatencies},
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
