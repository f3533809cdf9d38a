#pragma once
// What another thread of this process is doing, for tests that must act only once a thread is
// blocked in a wait on the network (instead of sleeping and hoping it got there).
#include <chrono>
#include <functional>
#include <vector>

// The kernel's id of the calling thread.
int ThisThreadId();
// The ids of this process's threads right now.
std::vector<int> ThreadIds();
// The threads that are not in `before`.
std::vector<int> NewThreads(const std::vector<int>& before);
// Whether the thread sleeps in a system call that waits for a socket or a file (poll, select,
// accept, recv, read, connect...), not for a lock or a condition, and is not running.
bool BlockedOnIo(int tid);
// Whether one of the threads is BlockedOnIo.
bool AnyBlockedOnIo(const std::vector<int>& tids);
// Waits until pred holds, at most `limit`; false on time-out.
bool PollUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = std::chrono::seconds(10));
// Waits until BlockedOnIo(tid), at most `limit`; false on time-out.
bool WaitUntilBlockedOnIo(int tid, std::chrono::milliseconds limit = std::chrono::seconds(10));
