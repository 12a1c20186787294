// Measurements for bench/events.js: the module's event queue against Node's own
// thread-safe function, carrying the same payload (a key name) from a worker thread.
#include "addon/exports.h"
#include "addon/lifetime.h"
#include "addon/napi_values.h"
#include "addon/quarnel_addon.h"
#include "core/logging.h"
#include "impl/dpi_context.h"
#include "impl/input_integrity.h"
#include "impl/quarnel_impl.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

void DefineBenchExports(napi_env env, napi_value exports);

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint64_t> acked{0};
std::atomic<int64_t> lastAckNs{0};

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The JavaScript side calls one of these from its callback for every event it receives: the
// latency runs need the time of arrival, the throughput runs only the count.
napi_value Ack(napi_env, napi_callback_info) {
    lastAckNs.store(NowNs(), std::memory_order_relaxed);
    acked.fetch_add(1, std::memory_order_release);
    return nullptr;
}

napi_value Count(napi_env, napi_callback_info) {
    acked.fetch_add(1, std::memory_order_release);
    return nullptr;
}

// The cost of calling an export at all, for reading the figures above.
napi_value Nothing(napi_env, napi_callback_info) {
    return nullptr;
}

// Runs on a worker: `post` sends one event. Latency mode sends one event at a time and waits
// for its acknowledgement; throughput mode keeps at most `window` events in flight (below the
// queue's 128, so nothing is dropped). Writes the latencies in ns and the total time.
template <typename Post>
void Drive(Post&& post, int count, int window, std::vector<int64_t>& latencies, int64_t& totalNs) {
    const uint64_t base = acked.load();
    const int64_t start = NowNs();
    for (int i = 0; i < count; ++i) {
        while (static_cast<int64_t>(i) - static_cast<int64_t>(acked.load() - base) >= window) {
            std::this_thread::yield();
        }
        const int64_t sent = NowNs();
        post();
        if (window == 1) {
            while (acked.load(std::memory_order_acquire) - base <= static_cast<uint64_t>(i)) {
                std::this_thread::yield();
            }
            latencies.push_back(lastAckNs.load(std::memory_order_relaxed) - sent);
        }
    }
    while (acked.load() - base < static_cast<uint64_t>(count)) {
        std::this_thread::yield();
    }
    totalNs = NowNs() - start;
}

// Results reach JavaScript as { totalNs, latencies: [...] } once the worker is done; the
// worker is polled with isDone() so the JavaScript thread stays free to run the callbacks.
struct Run {
    std::thread worker;
    std::atomic<bool> done{false};
    std::vector<int64_t> latencies;
    int64_t totalNs = 0;
};
Run currentRun;

napi_value Result(napi_env env) {
    if (currentRun.worker.joinable()) {
        currentRun.worker.join();
    }
    napi_value result = nullptr;
    napi_create_object(env, &result);
    napi_value total = nullptr;
    napi_create_double(env, static_cast<double>(currentRun.totalNs), &total);
    napi_set_named_property(env, result, "totalNs", total);
    napi_value list = nullptr;
    napi_create_array(env, &list);
    for (uint32_t i = 0; i < currentRun.latencies.size(); ++i) {
        napi_value item = nullptr;
        napi_create_double(env, static_cast<double>(currentRun.latencies[i]), &item);
        napi_set_element(env, list, i, item);
    }
    napi_set_named_property(env, result, "latencies", list);
    return result;
}

template <typename Post>
void Start(Post post, int count, int window) {
    if (currentRun.worker.joinable()) {
        currentRun.worker.join();
    }
    currentRun.done = false;
    currentRun.latencies.clear();
    currentRun.latencies.reserve(count);
    currentRun.worker = std::thread([post, count, window]() mutable {
        Drive(post, count, window, currentRun.latencies, currentRun.totalNs);
        currentRun.done = true;
    });
}

template <size_t N>
void ReadArgs(napi_env env, napi_callback_info info, napi_value (&argv)[N]) {
    size_t argc = N;
    napi_get_cb_info(env, info, &argc, argv, nullptr, nullptr);
}

// A poster of one key event through the module's queue, holding `js` as the callback.
std::shared_ptr<napi::napi_callback> queueCallback;
auto QueuePoster(napi_env env, napi_value js) {
    QuarnelAddon& addon = *Lifetime::ForEnvironment(env);
    queueCallback = napi::make_callback(env, js);
    return [&addon, callback = queueCallback] { addon.OnKeyboardEvent(callback, 5); };
}

void CallJsKey(napi_env env, napi_value js, void*, void* data) {
    if (env == nullptr || js == nullptr) {
        return;
    }
    // The same payload the keyboard task builds: one key name.
    napi_value key = napi::make_string(env, static_cast<const char*>(data));
    napi_value global = nullptr;
    napi_get_global(env, &global);
    napi_call_function(env, global, js, 1, &key, nullptr);
}

// The same through a napi_threadsafe_function kept in `slot` (the previous one is released).
auto TsfnPoster(napi_env env, napi_value js, napi_threadsafe_function& slot, const char* name) {
    if (slot != nullptr) {
        napi_release_threadsafe_function(slot, napi_tsfn_release);
    }
    napi_create_threadsafe_function(env, js, nullptr, napi::make_string(env, name), 0, 1, nullptr,
                                    nullptr, nullptr, CallJsKey, &slot);
    napi_unref_threadsafe_function(env, slot);
    static const char kKey[] = "pageDown";
    return [fn = slot] {
        napi_call_threadsafe_function(fn, const_cast<char*>(kKey), napi_tsfn_nonblocking);
    };
}

// queueRun(callback, count, window) and tsfnRun(callback, count, window).
napi_value QueueRun(napi_env env, napi_callback_info info) {
    napi_value argv[3];
    ReadArgs(env, info, argv);
    Start(QueuePoster(env, argv[0]), napi::get_int32(env, argv[1]), napi::get_int32(env, argv[2]));
    return nullptr;
}

napi_threadsafe_function tsfn = nullptr;
napi_value TsfnRun(napi_env env, napi_callback_info info) {
    napi_value argv[3];
    ReadArgs(env, info, argv);
    Start(TsfnPoster(env, argv[0], tsfn, "quarnel-bench"), napi::get_int32(env, argv[1]),
          napi::get_int32(env, argv[2]));
    return nullptr;
}

// pairRun(queueCallback, tsfnCallback, count): one event at a time, through the queue and the
// thread-safe function in turn, so that both meet the same moments of the machine's load.
// Even latencies are the queue's, odd ones the thread-safe function's.
napi_threadsafe_function pairTsfn = nullptr;
napi_value PairRun(napi_env env, napi_callback_info info) {
    napi_value argv[3];
    ReadArgs(env, info, argv);
    auto queue = QueuePoster(env, argv[0]);
    auto fn = TsfnPoster(env, argv[1], pairTsfn, "quarnel-pair");
    Start(
        [queue, fn, turn = 0]() mutable {
            if (turn++ % 2) {
                fn();
            } else {
                queue();
            }
        },
        napi::get_int32(env, argv[2]), 1);
    return nullptr;
}

// burstRun(useTsfn, callback, n): a worker posts n key events and is joined before this
// returns, so the time until the n-th call is what the JavaScript thread spends per event
// once woken, free of the worker's scheduling. Returns the worker's ns per post.
template <typename Post>
double Burst(Post post, int count) {
    int64_t postNs = 0;
    std::thread([&] {
        const int64_t start = NowNs();
        for (int i = 0; i < count; ++i) {
            post();
        }
        postNs = NowNs() - start;
    }).join();
    return static_cast<double>(postNs) / count;
}

napi_threadsafe_function burstTsfn = nullptr;
napi_value BurstRun(napi_env env, napi_callback_info info) {
    napi_value argv[3];
    ReadArgs(env, info, argv);
    const int count = napi::get_int32(env, argv[2]);
    const double perPost = napi::get_bool(env, argv[0])
                               ? Burst(TsfnPoster(env, argv[1], burstTsfn, "quarnel-burst"), count)
                               : Burst(QueuePoster(env, argv[1]), count);
    napi_value result = nullptr;
    napi_create_double(env, perPost, &result);
    return result;
}

napi_value IsDone(napi_env env, napi_callback_info) {
    return napi::make_bool(env, currentRun.done.load());
}

napi_value TakeResult(napi_env env, napi_callback_info) {
    return Result(env);
}

// logSiteCost(iterations, threads): ns per log statement with the current sink, on each of
// `threads` threads logging at once (one when left out).
napi_value LogSiteCost(napi_env env, napi_callback_info info) {
    napi_value argv[2];
    ReadArgs(env, info, argv);
    const int iterations = napi::get_int32(env, argv[0]);
    const int threads = std::max(1, napi::get_int32(env, argv[1]));
    const auto statements = [iterations] {
        void* site = nullptr;
        for (int i = 0; i < iterations; ++i) {
            QLOG(LOG_ERROR) << "SetWindowPos err:" << i << " hWnd:" << static_cast<void*>(&site);
        }
    };
    const int64_t start = NowNs();
    if (threads == 1) {
        statements();
    } else {
        std::vector<std::thread> loggers;
        for (int t = 0; t < threads; ++t) {
            loggers.emplace_back(statements);
        }
        for (auto& logger : loggers) {
            logger.join();
        }
    }
    const double perCall = static_cast<double>(NowNs() - start) / iterations;
    napi_value result = nullptr;
    napi_create_double(env, perCall, &result);
    return result;
}

// inputChecksCost(iterations): ns for what a mouse operation does beyond its own work before it
// injects anything: the thread's DPI context and the integrity check of the foreground window.
// Negative when the check warned.
napi_value InputChecksCost(napi_env env, napi_callback_info info) {
    napi_value argv[1];
    ReadArgs(env, info, argv);
    const int iterations = napi::get_int32(env, argv[0]);
    int warnings = 0;
    const int64_t start = NowNs();
    for (int i = 0; i < iterations; ++i) {
        const win32::PerMonitorDpiScope dpi;
        warnings += InputDropCheck(GetForegroundWindow(), "mouse input") ? 1 : 0;
    }
    const double perCall = static_cast<double>(NowNs() - start) / iterations;
    napi_value result = nullptr;
    napi_create_double(env, warnings == 0 ? perCall : -perCall, &result);
    return result;
}

// sendInputMove(x, y): the floor of an absolute move, one bare SendInput of the record
// InputMouseMove sends, scaled onto the system's virtual screen as read once; returns what
// SendInput returned. Called from JavaScript like the export, so both pay one call.
napi_value SendInputMove(napi_env env, napi_callback_info info) {
    static const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    static const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    napi_value argv[2];
    ReadArgs(env, info, argv);
    INPUT record = {};
    record.type = INPUT_MOUSE;
    record.mi.dx = static_cast<LONG>((static_cast<int64_t>(napi::get_int32(env, argv[0])) << 16) /
                                     (width > 0 ? width : 1));
    record.mi.dy = static_cast<LONG>((static_cast<int64_t>(napi::get_int32(env, argv[1])) << 16) /
                                     (height > 0 ? height : 1));
    record.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_VIRTUALDESK | MOUSEEVENTF_ABSOLUTE;
    return napi::make_int32(env, static_cast<int32_t>(SendInput(1, &record, sizeof(INPUT))));
}

// moveParts(iterations): ns per call of the parts of InputMouseMove before its SendInput,
// as [DPI context, integrity check, desktop extent].
napi_value MoveParts(napi_env env, napi_callback_info info) {
    napi_value argv[1];
    ReadArgs(env, info, argv);
    const int iterations = napi::get_int32(env, argv[0]);
    const auto perCall = [iterations](auto&& part) {
        const int64_t start = NowNs();
        for (int i = 0; i < iterations; ++i) {
            part();
        }
        return static_cast<double>(NowNs() - start) / iterations;
    };
    QuarnelImpl impl;
    INPUT record = {};
    record.type = INPUT_MOUSE;
    record.mi.dx = 10000;
    record.mi.dy = 10000;
    record.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_VIRTUALDESK | MOUSEEVENTF_ABSOLUTE;
    const double parts[] = {
        perCall([&record] { SendInput(1, &record, sizeof(INPUT)); }),
        perCall([&record] {
            const win32::PerMonitorDpiScope dpi;
            SendInput(1, &record, sizeof(INPUT));
        }),
        perCall([] { GetSystemMetrics(SM_CMONITORS); }),
        perCall([] {
            RECT r;
            GetWindowRect(GetDesktopWindow(), &r);
        }),
        perCall([] { const win32::PerMonitorDpiScope dpi; }),
        perCall([] { (void)InputDropCheck(GetForegroundWindow(), "mouse input"); }),
        perCall([&impl] {
            const win32::PerMonitorDpiScope dpi;
            int width = 0, height = 0;
            impl.GetDeskRect(width, height);
        }),
    };
    napi_value result = nullptr;
    napi_create_array(env, &result);
    for (uint32_t i = 0; i < sizeof(parts) / sizeof(parts[0]); ++i) {
        napi_value value = nullptr;
        napi_create_double(env, parts[i], &value);
        napi_set_element(env, result, i, value);
    }
    return result;
}

const ExportRow kBenchExports[] = {
    {"benchAck", Ack},
    {"benchCount", Count},
    {"benchNothing", Nothing},
    {"benchQueueRun", QueueRun},
    {"benchTsfnRun", TsfnRun},
    {"benchPairRun", PairRun},
    {"benchIsDone", IsDone},
    {"benchBurstRun", BurstRun},
    {"benchTakeResult", TakeResult},
    {"benchLogSiteCost", LogSiteCost},
    {"benchInputChecksCost", InputChecksCost},
    {"benchSendInputMove", SendInputMove},
    {"benchMoveParts", MoveParts},
};

}  // namespace

void DefineBenchExports(napi_env env, napi_value exports) {
    DefineExports(env, exports, kBenchExports, sizeof(kBenchExports) / sizeof(kBenchExports[0]));
}
