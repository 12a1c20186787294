#include "core/bounded_queue.h"
#include "core/function_name.h"
#include "core/key_names.h"
#include "core/touch_point.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <thread>
#include <vector>

namespace {

std::vector<int> Drain(napi::bounded_queue<int>& queue) {
    std::vector<int> items;
    for (int item = -1; queue.pop(item);) {
        items.push_back(item);
    }
    return items;
}

TEST(BoundedQueue, KeepsTheNewestItemsInOrderAndReleasesTheDropped) {
    napi::bounded_queue<int> queue(128);
    int out = 42;
    EXPECT_FALSE(queue.pop(out));
    EXPECT_EQ(out, 42);  // an empty queue leaves the output alone
    for (int i = 0; i < 200; ++i) {
        queue.push(i);
    }
    std::vector<int> newest(128);
    std::iota(newest.begin(), newest.end(), 72);
    EXPECT_EQ(Drain(queue), newest);

    napi::bounded_queue<std::shared_ptr<int>> single(1);
    auto first = std::make_shared<int>(1);
    std::weak_ptr<int> watch = first;
    single.push(std::move(first));
    single.push(std::make_shared<int>(2));
    EXPECT_TRUE(watch.expired());
}

TEST(BoundedQueue, ThreadsKeepTheirOwnOrder) {
    napi::bounded_queue<int> queue(100000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&queue, t] {
            for (int i = 0; i < 5000; ++i) {
                queue.push(t * 100000 + i);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::vector<int> last(4, -1);
    for (int item : Drain(queue)) {
        EXPECT_EQ(item % 100000, last[item / 100000] + 1);
        last[item / 100000] = item % 100000;
    }
    EXPECT_EQ(last, std::vector<int>(4, 4999));
}

TEST(KeyCodeName, NamesTheSixKeysOnly) {
    const char* expected[] = {"left", "up", "right", "down", "pageUp", "pageDown"};
    for (int code = 0; code < 6; ++code) {
        EXPECT_STREQ(KeyCodeName(code), expected[code]);
    }
    EXPECT_EQ(KeyCodeName(6), nullptr);
    EXPECT_EQ(KeyCodeName(-1), nullptr);
}

TEST(TouchPointsJson, MembersSortedAndEmptyListIsNull) {
    TouchPoint big{TouchPoint::Move, -30, 40, 4294967295u, 4000000000u};
    EXPECT_EQ(TouchPointsJson({{TouchPoint::Down, 10, 20, 1, 5}, big}),
              R"([{"id":1,"time":5,"touchType":0,"x":10,"y":20},)"
              R"({"id":4294967295,"time":4000000000,"touchType":2,"x":-30,"y":40}])");
    EXPECT_EQ(TouchPointsJson({}), "null");
}

TEST(ShortFunctionName, GivesTheShortCompilerForm) {
    const std::pair<const char*, const char*> cases[] = {
        // the '(' that matches the last ')', not the one inside the parameter type
        {"void WndProxyImpl::Create(int, const std::function<void(int)>&)", "WndProxyImpl::Create"},
        {"LRESULT {anonymous}::ProxyWndProc(HWND, UINT)", "`anonymous-namespace'::ProxyWndProc"},
        {"static LRESULT WinTouchHookImpl::WndProc(HWND)", "WinTouchHookImpl::WndProc"},
        // spaces inside template brackets are not the end of the return type
        {"std::vector<std::basic_string<char> > QuarnelImpl::Macs()", "QuarnelImpl::Macs"},
        {"int main()", "main"},
    };
    for (const auto& [pretty, expected] : cases) {
        EXPECT_EQ(ShortFunctionName(pretty), expected) << pretty;
    }
}

}  // namespace
