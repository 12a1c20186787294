#include "core/bounded_queue.h"
#include "core/function_name.h"
#include "core/key_names.h"
#include "core/touch_point.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

std::vector<int> Drain(napi::bounded_queue<int>& queue) {
    std::vector<int> items;
    int item = -1;
    while (queue.pop(item)) {
        items.push_back(item);
    }
    return items;
}

TEST(BoundedQueue, KeepsTheNewestItemsInOrder) {
    napi::bounded_queue<int> queue(128);
    for (int i = 0; i < 200; ++i) {
        queue.push(i);
    }
    EXPECT_EQ(queue.size(), 128u);
    std::vector<int> items = Drain(queue);
    ASSERT_EQ(items.size(), 128u);
    EXPECT_EQ(items.front(), 72);
    EXPECT_EQ(items.back(), 199);
    for (size_t i = 1; i < items.size(); ++i) {
        EXPECT_EQ(items[i], items[i - 1] + 1);
    }
}

TEST(BoundedQueue, PopOnEmptyLeavesTheOutputAlone) {
    napi::bounded_queue<int> queue(2);
    int out = 42;
    EXPECT_FALSE(queue.pop(out));
    EXPECT_EQ(out, 42);
}

TEST(BoundedQueue, ReleasesDroppedItems) {
    napi::bounded_queue<std::shared_ptr<int>> queue(1);
    auto first = std::make_shared<int>(1);
    std::weak_ptr<int> watch = first;
    queue.push(std::move(first));
    queue.push(std::make_shared<int>(2));
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
        const int t = item / 100000;
        EXPECT_GT(item % 100000, last[t]);
        last[t] = item % 100000;
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
    std::vector<TouchPoint> points = {{TouchPoint::Down, 10, 20, 1, 5}, {TouchPoint::Move, -30, 40, 2, 5}};
    EXPECT_EQ(TouchPointsJson(points),
              R"([{"id":1,"time":5,"touchType":0,"x":10,"y":20},)"
              R"({"id":2,"time":5,"touchType":2,"x":-30,"y":40}])");
    EXPECT_EQ(TouchPointsJson({}), "null");
    TouchPoint big;
    big.id = 4294967295u;
    big.time = 4000000000u;
    EXPECT_EQ(TouchPointsJson({big}), R"([{"id":4294967295,"time":4000000000,"touchType":0,"x":0,"y":0}])");
}

TEST(ShortFunctionName, GivesTheShortCompilerForm) {
    struct Case {
        const char* pretty;
        const char* expected;
    };
    const Case cases[] = {
        {"void WndProxyImpl::CreateProxyWindow(int, int, int, int, int, const std::function<void(int)>&)",
         "WndProxyImpl::CreateProxyWindow"},
        {"LRESULT {anonymous}::ProxyWndProc(HWND, UINT, WPARAM, LPARAM)",
         "`anonymous-namespace'::ProxyWndProc"},
        {"static LRESULT WinTouchHookImpl::TouchProxyWndProc(HWND, UINT, WPARAM, LPARAM)",
         "WinTouchHookImpl::TouchProxyWndProc"},
        {"std::vector<std::basic_string<char> > QuarnelImpl::GetMacAddresses()",
         "QuarnelImpl::GetMacAddresses"},
        {"OperationResult QuarnelImpl::SetWindowParent(int, int)", "QuarnelImpl::SetWindowParent"},
        {"int main()", "main"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShortFunctionName(c.pretty), c.expected) << c.pretty;
    }
}

}  // namespace
