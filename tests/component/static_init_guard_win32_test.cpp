// TB.dll's own guard for function-local statics, linked into this test program in
// place of the runtime's: many threads racing for one initialiser, initialisers that
// throw, and initialisers that reach other statics.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace {

LONG slow_runs = 0;

// Long enough that every racing thread arrives while the first is still inside.
int SlowlyInitialised() {
    static const int value = [] {
        InterlockedIncrement(&slow_runs);
        Sleep(100);
        return 42;
    }();
    return value;
}

TEST(StaticInitGuard, RacingThreadsRunTheInitialiserOnceAndAllSeeItsValue) {
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(start, nullptr);
    std::vector<int> seen(8, 0);
    std::vector<std::thread> threads;
    for (auto& result : seen) {
        threads.emplace_back([start, &result] {
            WaitForSingleObject(start, INFINITE);
            result = SlowlyInitialised();
        });
    }
    SetEvent(start);
    for (auto& thread : threads) thread.join();
    CloseHandle(start);
    EXPECT_EQ(slow_runs, 1);
    for (int value : seen) EXPECT_EQ(value, 42);
}

LONG throwing_runs = 0;

int FailsTheFirstTime() {
    static const int value = [] {
        if (InterlockedIncrement(&throwing_runs) == 1) throw std::runtime_error("first run");
        return 7;
    }();
    return value;
}

TEST(StaticInitGuard, AnInitialiserThatThrowsIsRunAgainByTheNextCaller) {
    EXPECT_THROW(FailsTheFirstTime(), std::runtime_error);
    // Another thread must not wait for an owner that gave up.
    int value = 0;
    std::thread([&value] { value = FailsTheFirstTime(); }).join();
    EXPECT_EQ(value, 7);
    EXPECT_EQ(FailsTheFirstTime(), 7);
    EXPECT_EQ(throwing_runs, 2);
}

volatile int seed = 5;  // read at run time, so the statics below need their guards

int Inner() {
    static const int value = seed * 2;
    return value;
}

int Outer() {
    static const int value = Inner() + 1;
    return value;
}

// The windows' descriptions are built this way: one static's initialiser reads another.
TEST(StaticInitGuard, NestedInitialisersDoNotWaitForEachOther) { EXPECT_EQ(Outer(), 11); }

}  // namespace
