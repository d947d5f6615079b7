#include "render/list_text.h"

#include <fmt/format.h>

#include "render/text.h"
#include "subject/names.h"

namespace fftbench {

bool printList(std::FILE* out, const fftplug::host::PluginLibrary& plugin) {
    const fftplug::host::Catalogue catalogue = plugin.readCatalogue();
    fmt::print(out, "plug-in    {}\n", plugin.path());
    fmt::print(out, "signature  {}\n", plugin.circuitSignature());
    fmt::print(out, "creator    \"{}\"\n", plugin.creator());
    fmt::print(out, "entries    {}\n", catalogue.count);
    if (!catalogue.entries.empty()) fmt::print(out, "\n{:>5}  {:<6} {}\n", "entry", "flags", "name / meaning / flags");
    for (const auto& entry : catalogue.entries) {
        fmt::print(out, "{:>5}  0x{:03x}  {}\n", entry.index, entry.flags, displayName(entry));
        if (const auto gloss = englishGloss(entry.name)) fmt::print(out, "{:>5}  {:<6} {}\n", "", "", *gloss);
        std::string flags;
        for (const std::string& meaning : flagMeanings(entry.flags)) flags += (flags.empty() ? "" : "; ") + meaning;
        fmt::print(out, "{:>5}  {:<6} {}\n", "", "", flags);
    }
    if (catalogue.faults.empty()) return true;
    fmt::print(out, "\ncatalogue faults:\n");
    for (const auto& fault : catalogue.faults) fmt::print(out, "  {}\n", fault.text());
    return false;
}

std::string bestOfText(const TimingGoal& goal) {
    std::string text = fmt::format("best of {} measurement{} of at least {:g} ms each", goal.measurements,
                                   goal.measurements == 1 ? "" : "s", goal.minSeconds * 1e3);
    if (goal.confirmWithin > 0 && goal.measurements >= 2)
        text += fmt::format(", up to {} where no second came within {:g} % of the best", 2 * goal.measurements,
                            goal.confirmWithin * 100);
    return text;
}

std::string cpuText(const CpuInfo& cpu, int labelWidth) {
    std::string text;
    if (cpu.x86)
        put(text, "{:<{}}{}family {}, model {}\n", "cpu", labelWidth,
            cpu.brand.empty() ? std::string() : cpu.brand + ", ", cpu.family, cpu.model);
    put(text, "{:<{}}{}\n", "instructions", labelWidth, describeInstructionSets(cpu));
    return text;
}

void printCpu(std::FILE* out, const CpuInfo& cpu, int labelWidth) {
    const std::string text = cpuText(cpu, labelWidth);
    std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace fftbench
