// A lock for a few instructions' worth of shared state between the port's
// reader thread and the window's thread. The MinGW runtime with Win32
// threads has no std::mutex, and Qt's QMutex waits where ThreadSanitizer
// cannot see it; an atomic flag is portable and visible to it.
#pragma once

#include <atomic>

class SpinLock {
public:
    void lock()
    {
        while (busy_.test_and_set(std::memory_order_acquire)) {
        }
    }
    void unlock() { busy_.clear(std::memory_order_release); }

private:
    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
};

// Holds a SpinLock for the life of a scope.
class SpinGuard {
public:
    explicit SpinGuard(SpinLock& lock) : lock_(lock) { lock_.lock(); }
    ~SpinGuard() { lock_.unlock(); }
    SpinGuard(const SpinGuard&) = delete;
    SpinGuard& operator=(const SpinGuard&) = delete;

private:
    SpinLock& lock_;
};
