// Linux has no debugger output channel; diagnostics go to standard error, and only when
// the developer asks for them, so a user starting the tool from a terminal sees nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/debug_output.h"

namespace kelvora {
namespace {

class StandardErrorOutput final : public DebugOutput {
  public:
    StandardErrorOutput() {
        const char* flag = std::getenv("KELVORA_DEBUG");
        enabled_ = flag != nullptr && std::strcmp(flag, "1") == 0;
    }

    void Write(std::string_view line) override {
        if (!enabled_) {
            return;
        }
        // One lock so that lines from worker threads never interleave.
        const std::lock_guard<std::mutex> lock(mutex_);
        (void)std::fwrite(line.data(), 1, line.size(), stderr);
        if (line.empty() || line.back() != '\n') {
            (void)std::fputc('\n', stderr);
        }
    }

  private:
    bool enabled_ = false;
    std::mutex mutex_;
};

}  // namespace

DebugOutput& SystemDebugOutput() {
    static StandardErrorOutput output;
    return output;
}

}  // namespace kelvora
