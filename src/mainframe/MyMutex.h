// A lock object with an explicit unlock, as the frame registry uses it: the
// user takes it (Lock) and holds a guard that calls Unlock on every way out.
#pragma once

#include <mutex>

class CMySemaphore {
public:
    CMySemaphore() = default;
    virtual ~CMySemaphore() = default;
    CMySemaphore(const CMySemaphore&) = delete;
    CMySemaphore& operator=(const CMySemaphore&) = delete;
    virtual void Unlock() = 0;
};

class CMyMutex : public CMySemaphore {
public:
    CMyMutex() = default;
    ~CMyMutex() override = default;
    // Waits without a time-out; the owning thread may take it again.
    void Lock() { m_mutex.lock(); }
    void Unlock() override { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// Calls Unlock when the scope ends.
class CMyUnlockGuard {
public:
    explicit CMyUnlockGuard(CMySemaphore& lock) : m_lock(lock) {}
    ~CMyUnlockGuard() { m_lock.Unlock(); }
    CMyUnlockGuard(const CMyUnlockGuard&) = delete;
    CMyUnlockGuard& operator=(const CMyUnlockGuard&) = delete;

private:
    CMySemaphore& m_lock;
};
