// fftbench list: the plug-in's signature, creator and catalogue, and the
// processor's instruction sets.
#include <cstdio>

#include "cli/arguments.h"
#include "cli/options.h"
#include "commands/commands.h"
#include "machine/processor.h"
#include "render/list_text.h"

namespace fftbench {

Command addListCommand(CLI::App& app) {
    auto plugins = std::make_shared<std::vector<std::string>>();
    CLI::App* sub = app.add_subcommand("list", "Signature, creator, entry count and catalogue of the plug-in, and the "
                                               "instruction sets of this processor");
    addPluginOption(sub, *plugins, false);
    return Command{sub, [plugins](const std::vector<std::string>& global) {
                       const std::string path = singlePlugin("list", pluginPaths(global, *plugins));
                       const bool sound = printList(stdout, loadPlugin(path));
                       std::fputc('\n', stdout);
                       printCpu(stdout, detectCpu(), 14);
                       return sound ? kExitOk : kExitCheckFailed;
                   }};
}

}  // namespace fftbench
