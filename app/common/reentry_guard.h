// Held while a handler runs. A second call from a loop nested in it (a message box's, say)
// finds the flag taken and is refused, so nothing runs inside itself. UI thread only.
#pragma once

namespace ovistra {

class ReentryGuard {
public:
    explicit ReentryGuard(bool& busy) : busy_(busy ? nullptr : &busy) {
        if (busy_) {
            *busy_ = true;
        }
    }
    ~ReentryGuard() {
        if (busy_) {
            *busy_ = false;
        }
    }
    ReentryGuard(const ReentryGuard&) = delete;
    ReentryGuard& operator=(const ReentryGuard&) = delete;
    // False when refused.
    explicit operator bool() const { return busy_ != nullptr; }

private:
    bool* busy_;
};

}  // namespace ovistra
