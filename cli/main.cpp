// quillmere-cli: the scriptable face of the engine.
#include <cstdio>
#include <exception>

#include "cli/commands.h"
#include "cli/platform_setup.h"
#include "cli/standard_output.h"

int main(int argc, char** argv) {
    using namespace qm::cli;
    BufferStandardOutput();
    CliState state;
    CLI::App app{"Quillmere registry cleaner, command line", "quillmere-cli"};
    app.require_subcommand(1);
    app.fallthrough();  // global options may follow the command name
    AddPlatformOptions(app, state);
    AddScanCommand(app, state);
    AddFixCommand(app, state);
    AddRestoreCommand(app, state);
    AddIgnoreCommand(app, state);
    AddSettingsCommand(app, state);
    AddScheduleCommand(app, state);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        Complain("quillmere-cli: %s (see --help)\n", e.what());
        return kExitError;
    } catch (const CliError& e) {
        Complain("quillmere-cli: %s\n", e.what());
        return kExitError;
    } catch (const std::exception& e) {
        Complain("quillmere-cli: %s\n", e.what());
        return kExitError;
    }
    return state.exitCode;
}
