#pragma once
// Keeps an operation from running inside itself: a second start while the first is under way (a tap
// handled by a nested turn of the event loop, or by code the operation calls out to) is refused.
#include <utility>

namespace shell {

class OneRunAtATime {
  public:
    // A started run; false when one was already under way. The operation counts as running until
    // the run goes out of scope.
    class Run {
      public:
        Run(Run&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;
        Run& operator=(Run&&) = delete;
        ~Run() {
            if (owner_) owner_->running_ = false;
        }
        explicit operator bool() const { return owner_ != nullptr; }

      private:
        friend class OneRunAtATime;
        explicit Run(OneRunAtATime* owner) : owner_(owner) {}
        OneRunAtATime* owner_;
    };

    [[nodiscard]] Run begin() {
        if (running_) return Run(nullptr);
        running_ = true;
        return Run(this);
    }
    bool isRunning() const { return running_; }

  private:
    bool running_ = false;
};

} // namespace shell
