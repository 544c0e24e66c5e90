#include "cli/virtual_key_setup.h"

#include <charconv>

#include "vkey/state_file.h"

namespace kelvora::cli {

InProcessKey::InProcessKey(const vkey::Config& config, vkey::State state,
                           std::optional<std::string> stateFile)
    : key_(config, clock_, std::move(state)), stateFile_(std::move(stateFile)) {
    key_.SetAutoTouch(vkey::AutoTouch{});
    backend_.AddKey(key_);
    key_.Plug();
}

InProcessKey::~InProcessKey() {
    key_.Unplug();
}

bool InProcessKey::Save(std::string& error) {
    if (!stateFile_) {
        return true;
    }
    if (!vkey::SaveStateFile(*stateFile_, key_.SnapshotState())) {
        error = "the virtual key's state could not be written to " + *stateFile_;
        return false;
    }
    return true;
}

std::unique_ptr<InProcessKey> MakeInProcessKey(const std::string& model,
                                               const std::optional<std::string>& stateFile,
                                               std::string& error) {
    vkey::Config config;
    const auto* end = model.data() + model.size();
    const auto [ptr, parseError] = std::from_chars(model.data(), end, config.model);
    if (parseError != std::errc() || ptr != end || !config.IsValid()) {
        error = "--virtual needs a model number from 1 to 7, not '" + model + "'";
        return nullptr;
    }
    vkey::State state;
    if (stateFile && vkey::LoadStateFile(*stateFile, state) == vkey::LoadStatus::kCorrupt) {
        error = "the state file " + *stateFile + " is not a virtual key state; not using it";
        return nullptr;
    }
    return std::make_unique<InProcessKey>(config, std::move(state), stateFile);
}

}  // namespace kelvora::cli
