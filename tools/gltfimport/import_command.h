// The `import` command of taldrex-scene: its options and its run.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

class ImportCommand {
public:
    // Adds the command and its options to app.
    explicit ImportCommand(CLI::App& app);

    // Whether the command line chose this command.
    bool chosen() const { return command_->parsed(); }
    // Runs the import with its summary to out and its problems to err (usage errors always
    // to standard error): 0 when done, 1 when the model cannot be imported or the folder
    // cannot be written, 2 for a usage error.
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

    const std::string& model() const { return model_; }
    bool dryRun() const { return dryRun_; }

private:
    CLI::App* command_;
    std::string model_, demoDir_, name_, scene_, animation_, tolerance_, fps_, env_, scale_;
    bool dryRun_ = false;
    bool singleSided_ = false;
};
