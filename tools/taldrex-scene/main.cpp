// taldrex-scene: the makers' tool for scene files. Each command lives in its own unit and
// registers itself here.
#include "dump_command.h"
#include "export_command.h"
#include "import_command.h"
#include "import_watch.h"

#include "desktop/stop_signals.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <utility>

namespace {

// `import --watch`: the import again after each save, until SIGINT or SIGTERM.
int watchImports(const ImportCommand& command)
{
    if (command.dryRun()) {
        std::fprintf(stderr, "taldrex-scene import: --watch writes each save: not with --dry-run\n");
        return 2;
    }
    // Noted, not fatal: an import under way finishes its renames before the watch ends.
    CatchStopSignals();
    WatchSettings settings;
    settings.model = command.model();
    return RunImportWatch(settings, [&command](std::FILE* out, std::FILE* err) { return command.run(out, err); },
        stdout);
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"taldrex-scene: inspect and convert Taldrex scene files.", "taldrex-scene"};
    app.set_version_flag("--version", "taldrex-scene " TALDREX_VERSION);
    app.require_subcommand(1);
    int status = 0;
    AddDumpCommand(app, status);
    AddExportCommand(app, status);
    ImportCommand importCommand(app);
    bool watch = false;
    app.get_subcommand("import")->add_flag("--watch", watch,
        "import once, then again each time MODEL, or a buffer or picture it names, has been saved and left "
        "alone for 100 ms, one line per import; a save that cannot be imported keeps the last good import; "
        "Ctrl-C ends it (status 130)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // No command, an unknown one or a bad option: the usage, and the status of a misuse.
        const std::string first = argc > 1 ? argv[1] : "";
        const auto named = [&first](const CLI::App* command) { return command->check_name(first); };
        if (argc > 1 && first[0] != '-' && std::as_const(app).get_subcommands(named).empty())
            std::fprintf(stderr, "taldrex-scene: unknown command \"%s\"\n", argv[1]);
        else if (argc > 1)
            std::fprintf(stderr, "taldrex-scene: %s\n", e.what());
        std::fprintf(stderr, "%s", app.help().c_str());
        return 2;
    }
    if (importCommand.chosen())
        return watch ? watchImports(importCommand) : importCommand.run();
    return status;
}
