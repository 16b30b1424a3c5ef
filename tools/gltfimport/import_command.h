// The `import` command of taldrex-scene: its options and its run.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

class ImportCommand {
public:
    // Adds the command and its options to app.
    explicit ImportCommand(CLI::App& app);

    // Whether the command line chose this command.
    bool chosen() const { return command_->parsed(); }
    // Runs the import: 0 when done, 1 when the model cannot be imported or the folder
    // cannot be written, 2 for a usage error.
    int run() const;

private:
    CLI::App* command_;
    std::string model_, demoDir_, name_, scene_, animation_, tolerance_, fps_, env_, scale_;
    bool dryRun_ = false;
    bool singleSided_ = false;
};
