#pragma once

// Work that must not hold the JavaScript thread while another process takes its time.
#include <windows.h>

#include <functional>
#include <memory>

namespace win32 {

// How long an export waits for a window of another thread to show that it still answers.
constexpr DWORD kAnswerWaitMs = 25;

// False when the thread of `hwnd` did not answer a message within kAnswerWaitMs (or is hung):
// a call that sends it messages would wait as long. True for a window of the calling thread,
// one that is gone (the call that follows fails on its own) and one that refuses the message.
bool AnswersPromptly(HWND hwnd) noexcept;

// Runs `work` on a new thread of its own, which holds a reference on this module until `work`
// has returned: a thread that waits on another process for seconds keeps the code it returns
// into mapped, even across an unload. Exceptions from `work` end the thread quietly. False when
// no thread could be made (logged); `work` has not run then.
bool RunOnOwnThread(std::function<void()> work) noexcept;

// For an export about to send messages to `hwnd` (and to `also`, when given): true when one of
// them does not answer promptly, in which case `work` (the same export, made again from a fresh
// object) has been handed to a thread of its own, which waits for the window instead of the
// caller. False, and nothing done, on such a thread itself: it is the one meant to wait.
bool DeferredWhileUnanswered(HWND hwnd, std::function<void()> work, HWND also = nullptr) noexcept;

// How long an export waits for its work on a window of another thread to be done.
constexpr DWORD kFinishWaitMs = 45;

enum class Handed {
    No,    // the caller does the work itself
    Done,  // done on a thread of its own, in time
    Late,  // still waiting for the window, on a thread of its own
};

// For an export about to send messages to `hwnd`: on a window of another thread, runs `work`
// (the same export, made again from a fresh object) on a thread of its own and waits at most
// kFinishWaitMs for it, so that a window that does not answer holds that thread, not the caller,
// while one that answers, however slowly, sees the call as it always did. No for a window of
// the calling thread or none, on such a thread itself, and when no thread can be made.
Handed RunForWindow(HWND hwnd, std::function<void()> work) noexcept;

// Announces a change of the user environment to every top-level window, from a thread of its
// own: a window that has stopped answering (not yet hung to the system) holds the announcement
// for up to 5 s, and the caller for none of it. One announcement runs at a time; calls while it
// runs make one more after it, however many they are.
void AnnounceEnvironmentChange() noexcept;

}  // namespace win32
