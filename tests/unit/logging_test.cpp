#include "core/logging.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace quarnel;

struct Captured {
    std::string file, func, text;
    int line, severity;
};

std::mutex capturedMutex;
std::vector<Captured> captured;
std::atomic<int> otherSinkCalls{0};

void CaptureSink(const char* file, int line, const char* func, int severity, const char* text) {
    std::lock_guard<std::mutex> lock(capturedMutex);
    captured.push_back({file, func, text, line, severity});
}

void CountingSink(const char*, int, const char*, int, const char*) {
    ++otherSinkCalls;
}

class Logging : public ::testing::Test {
protected:
    void SetUp() override {
        captured.clear();
        otherSinkCalls = 0;
    }
    void TearDown() override { logSink.store(nullptr); }
};

void SharedHelper(const LogSite& site) {
    QLOG_AS(site, LOG_WARNING) << "shared";
}

struct Widget {
    int Frobnicate(int value) {
        QLOG(LOG_ERROR) << "SetWindowPos err:" << value << " name:" << std::string("w");
        return __LINE__ - 1;
    }
    void Delegate() { SharedHelper(QLOG_HERE); }
};

TEST_F(Logging, RecordCarriesItsSiteAndStreamedTextOnlyOnceASinkIsSet) {
    int evaluated = 0;
    QLOG(LOG_INFO) << ++evaluated;
    EXPECT_EQ(evaluated, 0);  // no sink: the record is neither built nor streamed into
    EXPECT_TRUE(captured.empty());
    logSink.store(CaptureSink);
    const int line = Widget().Frobnicate(5);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0].text, "SetWindowPos err:5 name:w");
    EXPECT_EQ(captured[0].func, "`anonymous-namespace'::Widget::Frobnicate");
    EXPECT_EQ(captured[0].severity, LOG_ERROR);
    EXPECT_EQ(captured[0].line, line);
    EXPECT_NE(captured[0].file.find("logging_test.cpp"), std::string::npos);
}

TEST_F(Logging, SharedHelperLogsUnderTheSiteItIsHanded) {
    logSink.store(CaptureSink);
    Widget().Delegate();
    SharedHelper(LogSite{"x.cpp", 7, "WndProxyImpl::CloseWindow"});  // a name in the short form
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[0].func, "`anonymous-namespace'::Widget::Delegate");
    EXPECT_EQ(captured[0].severity, LOG_WARNING);
    EXPECT_EQ(captured[1].func, "WndProxyImpl::CloseWindow");
    EXPECT_EQ(captured[1].file, "x.cpp");
    EXPECT_EQ(captured[1].line, 7);
}

TEST_F(Logging, RecordKeepsTheSinkItWasBuiltWith) {
    logSink.store(CaptureSink);
    {
        LogRecord record(LogSite{__FILE__, __LINE__, "f"}, LOG_WARNING, logSink.load());
        record.stream() << "before the switch";
        logSink.store(CountingSink);
    }
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0].text, "before the switch");
    EXPECT_EQ(otherSinkCalls.load(), 0);
}

TEST_F(Logging, ThreadsLogWhileTheSinkChanges) {
    std::atomic<bool> stop{false};
    std::thread switcher([&stop] {
        while (!stop) {
            logSink.store(CaptureSink);
            logSink.store(CountingSink);
            logSink.store(nullptr);
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 2000; ++i) {
                QLOG(LOG_INFO) << "thread " << t << " record " << i;
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    stop = true;
    switcher.join();
    for (const Captured& record : captured) {
        EXPECT_EQ(record.text.rfind("thread ", 0), 0u) << record.text;
    }
    EXPECT_LE(captured.size() + otherSinkCalls.load(), 8000u);
}

}  // namespace

namespace {

// Records read as they did when a standard stream built them.
template <typename... Values>
void ExpectStreamText(const Values&... values) {
    LogText text;
    std::ostringstream stream;
    ((text << values), ...);
    ((stream << values), ...);
    EXPECT_EQ(text.str(), stream.str());
}

TEST(LogText, ShowsTextAndNumbersAsAStreamDoes) {
    ExpectStreamText("err:", 5, " hWnd:", -2147483647 - 1, std::string(" s"), 'c');
    ExpectStreamText(0u, 4294967295u, 18446744073709551615ull, -9223372036854775807ll - 1,
                     static_cast<short>(-3), static_cast<unsigned short>(65535), 1234567L);
    ExpectStreamText(static_cast<unsigned char>('A'), static_cast<signed char>('z'), true, false);
    ExpectStreamText(0.1, 1e20, 123456789.0, -2.5, 1e-7, 100.0, 0.0);
    int onStack = 0;
    ExpectStreamText(static_cast<const void*>(&onStack), static_cast<void*>(nullptr), L"wide");
    enum Unscoped { kSeven = 7 };
    ExpectStreamText(kSeven);
}

}  // namespace
