#include "commands.h"
namespace fftbench {
Command addReportCommand(CLI::App& app) { return {app.add_subcommand("report", "x"), [](const std::vector<std::string>&) { return 0; }}; }
}
