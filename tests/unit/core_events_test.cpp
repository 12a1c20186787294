#include "core/bounded_queue.h"
#include "core/function_name.h"
#include "core/lifecycle.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace quarnel;

std::vector<int> Drain(quarnel::bounded_queue<int>& queue) {
    std::vector<int> items;
    for (int item = -1; queue.pop(item);) {
        items.push_back(item);
    }
    return items;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> values(to - from);
    std::iota(values.begin(), values.end(), from);
    return values;
}

TEST(BoundedQueue, KeepsTheNewestItemsInOrderAndHandsOutTheDropped) {
    quarnel::bounded_queue<int> queue(128);
    int out = 42;
    EXPECT_FALSE(queue.pop(out));
    EXPECT_EQ(out, 42);  // an empty queue leaves the output alone
    std::vector<int> dropped;
    for (int i = 0; i < 200; ++i) {
        int gone = -1;
        queue.push(i, gone);
        if (gone != -1) {
            dropped.push_back(gone);
        }
    }
    EXPECT_EQ(dropped, Range(0, 72));
    EXPECT_EQ(Drain(queue), Range(72, 200));

    // Wrapped around and refilled after partial pops: still oldest first.
    quarnel::bounded_queue<int> ring(3);
    int gone = -1;
    for (int i : {1, 2, 3}) ring.push(i, gone);
    ring.pop(out);
    ring.push(4, gone);
    ring.push(5, gone);
    EXPECT_EQ(gone, 2);
    EXPECT_EQ(Drain(ring), (std::vector<int>{3, 4, 5}));

    quarnel::bounded_queue<std::shared_ptr<int>> single(1);
    auto first = std::make_shared<int>(1);
    std::weak_ptr<int> watch = first;
    std::shared_ptr<int> slot;
    single.push(std::move(first), slot);
    single.push(std::make_shared<int>(2), slot);
    EXPECT_FALSE(watch.expired());  // handed out, not destroyed inside the queue
    slot.reset();
    EXPECT_TRUE(watch.expired());
    // A popped item leaves no share behind in its slot.
    std::shared_ptr<int> taken;
    single.pop(taken);
    std::weak_ptr<int> second = taken;
    taken.reset();
    EXPECT_TRUE(second.expired());
}

TEST(BoundedQueue, SwapHandsOverAWholeBatch) {
    quarnel::bounded_queue<int> pending(4);
    quarnel::bounded_queue<int> batch(4);
    int gone = -1;
    for (int i = 0; i < 6; ++i) pending.push(i, gone);
    pending.swap(batch);
    EXPECT_TRUE(pending.empty());
    pending.push(9, gone);
    EXPECT_EQ(Drain(batch), Range(2, 6));
    EXPECT_EQ(Drain(pending), std::vector<int>{9});
    EXPECT_EQ(pending.capacity(), 4u);
}

// Pushes the words of `script` in order, "e…" to the event lane and "l…" to the log lane, and
// returns what comes out: each item, a log record after a gap with "+" and the count lost, then
// "/" and the dropped items.
std::string RunLanes(quarnel::two_lane_queue<std::string>& queue, const std::string& script) {
    using lane = quarnel::two_lane_queue<std::string>::lane;
    std::istringstream words(script);
    std::string dropped;
    for (std::string word; words >> word;) {
        std::string gone;
        if (queue.push(word, word[0] == 'l' ? lane::log : lane::event, gone)) {
            dropped += " " + gone;
        }
    }
    std::string out;
    uint32_t lost = 0;
    for (std::string item; queue.pop(item, lost);) {
        out += (out.empty() ? "" : " ") + item + (lost != 0 ? "+" + std::to_string(lost) : "");
    }
    return out + " /" + dropped;
}

TEST(TwoLaneQueue, LogRecordsNeverPushOutEventsAndBothKeepTheirOrder) {
    // event capacity, log capacity, pushed, delivered / dropped
    struct Row {
        uint32_t events, logs;
        const char* pushed;
        const char* expected;
    } rows[] = {
        {2, 2, "e1 l1 e2 l2", "e1 l1 e2 l2 /"},
        // a flood of records behind an event: the event stays, the oldest records go
        {2, 2, "e1 l1 l2 l3 l4 e2", "e1 l3+2 l4 e2 / l1 l2"},
        // among events it is still the oldest that goes, whatever records sit between
        {2, 4, "e1 l1 e2 e3 l2", "l1 e2 e3 l2 / e1"},
        {1, 1, "l1 e1 l2 e2", "l2+1 e2 / l1 e1"},
        {4, 4, "", " /"},
    };
    for (const Row& row : rows) {
        quarnel::two_lane_queue<std::string> queue(row.events, row.logs);
        EXPECT_EQ(RunLanes(queue, row.pushed), row.expected) << row.pushed;
    }
    // The lost count is no byte: 300 records went before the one kept.
    quarnel::two_lane_queue<std::string> flood(1, 1);
    std::string script;
    for (int i = 0; i <= 300; ++i) {
        script += " l" + std::to_string(i);
    }
    EXPECT_EQ(RunLanes(flood, script).substr(0, 11), "l300+300 / ");
}

TEST(TwoLaneQueue, TheLostCountTravelsWithTheSwappedBatch) {
    quarnel::two_lane_queue<std::string> pending(2, 1);
    quarnel::two_lane_queue<std::string> batch(2, 1);
    using lane = quarnel::two_lane_queue<std::string>::lane;
    std::string gone;
    for (const char* log : {"l1", "l2", "l3"}) pending.push(log, lane::log, gone);
    pending.swap(batch);
    pending.push("l4", lane::log, gone);
    EXPECT_EQ(RunLanes(batch, ""), "l3+2 /");
    EXPECT_EQ(RunLanes(pending, ""), "l4 /");
}

TEST(Lifecycle, OnlyMovesForwardAndEachStageAllowsLess) {
    using quarnel::Stage;
    quarnel::Lifecycle life;
    // stage reached, references released, host called, blocking allowed
    struct Row {
        Stage stage;
        bool releases, calls, blocks;
    } rows[] = {
        {Stage::Running, true, true, true},
        {Stage::Quitting, false, true, true},
        {Stage::Detached, false, false, true},
        {Stage::Exiting, false, false, false},
    };
    for (const Row& row : rows) {
        life.advance(row.stage);
        EXPECT_EQ(life.stage(), row.stage);
        EXPECT_EQ(life.releases_references(), row.releases);
        EXPECT_EQ(life.calls_host(), row.calls);
        EXPECT_EQ(life.may_block(), row.blocks);
    }
    EXPECT_EQ(life.advance(Stage::Quitting), Stage::Exiting);
    EXPECT_EQ(life.stage(), Stage::Exiting);
    // A new owner starts again from any stage but Exiting.
    EXPECT_FALSE(life.restart());
    EXPECT_EQ(life.stage(), Stage::Exiting);
    for (Stage stage : {Stage::Quitting, Stage::Detached}) {
        quarnel::Lifecycle reused;
        reused.advance(stage);
        EXPECT_TRUE(reused.restart());
        EXPECT_EQ(reused.stage(), Stage::Running);
    }

    // Racing threads: the furthest stage wins whatever the order.
    quarnel::Lifecycle raced;
    std::vector<std::thread> threads;
    for (Stage stage : {Stage::Detached, Stage::Quitting, Stage::Running, Stage::Quitting}) {
        threads.emplace_back([&raced, stage] { raced.advance(stage); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(raced.stage(), Stage::Detached);
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
