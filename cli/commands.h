// The commands of kelvora-fido2. Each takes the environment (backend, clock, streams, input)
// and the parsed options and returns the exit status; main only builds the environment.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_env.h"
#include "cli/options.h"
#include "cli/reporter.h"

namespace kelvora::cli {

// Runs the command the options name, --help included.
int RunCli(CliEnv& env, const CliOptions& options);

int RunListCommand(CliEnv& env, const CliOptions& options, Reporter& reporter);
int RunInfoCommand(CliEnv& env, const CliOptions& options, Reporter& reporter);
int RunPinCommand(CliEnv& env, const CliOptions& options, Reporter& reporter);
int RunFingerprintsCommand(CliEnv& env, const CliOptions& options, Reporter& reporter);
int RunPasskeysCommand(CliEnv& env, const CliOptions& options, Reporter& reporter);
int RunResetCommand(CliEnv& env, const CliOptions& options, Reporter& reporter);

// The help of a command ({} for the overview, {"pin", "set"} for one subcommand); empty
// when there is no such command.
std::string HelpText(const std::vector<std::string>& words);
// What --version prints.
std::string VersionText();
// Every help text, in the order docs/cli.md shows them.
std::vector<std::vector<std::string>> HelpTopics();

}  // namespace kelvora::cli
