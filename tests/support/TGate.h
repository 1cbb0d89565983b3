// A gate for jobs on other threads: each job enters and is held until the
// test opens the gate, so that a test can see how many run at the same time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qm::test {

class TGate {
public:
    // Counts the caller in and holds it until Open(), at most `limit` (so
    // that a fault cannot hang the test).
    void Enter(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> hold(lock_);
        ++entered_;
        changed_.notify_all();
        changed_.wait_for(hold, limit, [this] { return open_; });
    }
    // Waits until more than `count` callers (count >= 0) have entered, at most
    // `limit`; true when they have.
    bool WaitForMoreThan(int count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, limit, [&] { return entered_ > count; });
    }
    int Entered() {
        std::lock_guard<std::mutex> hold(lock_);
        return entered_;
    }
    // Lets every held caller and every later one through.
    void Open() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            open_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int entered_ = 0;
    bool open_ = false;
};

}  // namespace qm::test
