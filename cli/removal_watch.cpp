#include "cli/removal_watch.h"

namespace kelvora::cli {

namespace {

class WatchedConnection final : public HidConnection {
  public:
    WatchedConnection(std::unique_ptr<HidConnection> inner, std::atomic<bool>& gone)
        : inner_(std::move(inner)), gone_(gone) {}

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        return Watch(inner_->Write(report));
    }
    HidIoResult Read(std::span<std::uint8_t> report) override {
        return Watch(inner_->Read(report));
    }
    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        return Watch(inner_->ReadWithin(report, timeoutMs));
    }
    void FlushInput() override { inner_->FlushInput(); }
    bool ReportLengths(HidReportLengths& lengths) override {
        return inner_->ReportLengths(lengths);
    }
    void Close() override {
        closed_ = true;
        inner_->Close();
    }

  private:
    HidIoResult Watch(HidIoResult result) {
        if (!result.ok && !closed_ && result.errorCode != kHidReadTimedOut) {
            gone_ = true;
        }
        return result;
    }

    std::unique_ptr<HidConnection> inner_;
    std::atomic<bool>& gone_;
    bool closed_ = false;
};

}  // namespace

std::unique_ptr<HidConnection> WatchForRemoval(std::unique_ptr<HidConnection> connection,
                                               std::atomic<bool>& gone) {
    if (!connection) {
        return connection;
    }
    return std::make_unique<WatchedConnection>(std::move(connection), gone);
}

}  // namespace kelvora::cli
