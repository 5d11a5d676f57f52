// Reference counting of the embedded-browser library's objects: every
// interface derives virtually from CefBaseRefCounted, so an object with
// several interfaces has one atomic count; CefRefPtr holds one reference.
#pragma once

#include <QString>
#include <atomic>
#include <utility>

using CefString = QString;

class CefBaseRefCounted {
public:
    virtual void AddRef() const = 0;
    virtual bool Release() const = 0;
    virtual bool HasOneRef() const = 0;
    virtual bool HasAtLeastOneRef() const = 0;

protected:
    virtual ~CefBaseRefCounted() = default;
};
using CefBase = CefBaseRefCounted;

class CefRefCount {
public:
    void AddRef() const { m_count.fetch_add(1, std::memory_order_relaxed); }
    // True when the count reached zero.
    bool Release() const { return m_count.fetch_sub(1, std::memory_order_acq_rel) == 1; }
    bool HasOneRef() const { return m_count.load(std::memory_order_acquire) == 1; }
    bool HasAtLeastOneRef() const { return m_count.load(std::memory_order_acquire) >= 1; }

private:
    mutable std::atomic<int> m_count{0};
};

#define IMPLEMENT_REFCOUNTING(ClassName)                \
public:                                                 \
    void AddRef() const override {                      \
        ref_count_.AddRef();                            \
    }                                                   \
    bool Release() const override {                     \
        if (ref_count_.Release()) {                     \
            delete static_cast<const ClassName*>(this); \
            return true;                                \
        }                                               \
        return false;                                   \
    }                                                   \
    bool HasOneRef() const override {                   \
        return ref_count_.HasOneRef();                  \
    }                                                   \
    bool HasAtLeastOneRef() const override {            \
        return ref_count_.HasAtLeastOneRef();           \
    }                                                   \
                                                        \
private:                                                \
    CefRefCount ref_count_

template <class T>
class CefRefPtr {
public:
    CefRefPtr() = default;
    CefRefPtr(std::nullptr_t) {}
    CefRefPtr(T* p) : m_p(p) {
        if (m_p)
            m_p->AddRef();
    }
    CefRefPtr(const CefRefPtr& o) : CefRefPtr(o.m_p) {}
    template <class U>
    CefRefPtr(const CefRefPtr<U>& o) : CefRefPtr(o.get()) {}
    CefRefPtr(CefRefPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~CefRefPtr() {
        if (m_p)
            m_p->Release();
    }
    CefRefPtr& operator=(const CefRefPtr& o) {
        if (this != &o)
            *this = o.m_p;
        return *this;
    }
    CefRefPtr& operator=(CefRefPtr&& o) noexcept {
        if (this != &o) {
            T* old = std::exchange(m_p, std::exchange(o.m_p, nullptr));
            if (old)
                old->Release();
        }
        return *this;
    }
    CefRefPtr& operator=(T* p) {
        if (p)
            p->AddRef();
        T* old = std::exchange(m_p, p);
        if (old)
            old->Release();
        return *this;
    }
    CefRefPtr& operator=(std::nullptr_t) { return *this = static_cast<T*>(nullptr); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const CefRefPtr& o) const { return m_p == o.m_p; }
    bool operator==(std::nullptr_t) const { return m_p == nullptr; }

private:
    T* m_p = nullptr;
};
