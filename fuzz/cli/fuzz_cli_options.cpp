// The command line's option parser and the wipe of PIN arguments on arbitrary arguments
// (NUL-separated in the input), and the KELVORA_VKEY setting on the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/options.h"
#include "transport/vkey_socket_setting.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora;
    const std::string text(reinterpret_cast<const char*>(data), size);
    VkeySocketSetting setting;
    std::string error;
    (void)ParseVkeySocketSetting(text, setting, error);

    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t end = text.find('\0'); end != std::string::npos;
         start = end + 1, end = text.find('\0', start)) {
        args.push_back(text.substr(start, end - start));
    }
    args.push_back(text.substr(start));
    cli::CliOptions options;
    const std::string problem = cli::ParseOptions(args, options);
    if (problem.empty() && (options.pin || options.newPin) && !options.insecurePinArgument) {
        std::abort();  // a PIN on the command line without the explicit option
    }
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv = {nullptr};
    storage.reserve(args.size() + 1);
    storage.push_back({'p', '\0'});
    argv[0] = storage.back().data();
    for (const std::string& arg : args) {
        storage.emplace_back(arg.begin(), arg.end());
        storage.back().push_back('\0');
        argv.push_back(storage.back().data());
    }
    cli::WipePinArguments(static_cast<int>(argv.size()), argv.data());
    return 0;
}
