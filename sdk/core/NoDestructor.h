#pragma once
// Holds a process-wide object that is never destroyed. The SDK's singletons (the transport's, the
// diagnostics') own queues whose threads may still be running at exit; tearing them down then would
// race with that work.
#include <memory>
#include <new>
#include <utility>

namespace sdk {

template <class T> class NoDestructor {
  public:
    template <class... Args> explicit NoDestructor(Args&&... args) {
        std::construct_at(reinterpret_cast<T*>(storage_), std::forward<Args>(args)...);
    }
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;
    ~NoDestructor() = default; // deliberately leaves T alive

    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T& operator*() { return get(); }
    T* operator->() { return &get(); }

  private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

} // namespace sdk
