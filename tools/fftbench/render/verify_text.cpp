#include "render/verify_text.h"

#include <fmt/format.h>

#include <algorithm>

#include "render/sizes.h"

namespace fftbench {

void printVerifyReport(std::FILE* out, const VerifyReport& report, bool verbose) {
    fmt::print(out, "plug-in  {} (signature {}, creator \"{}\")\n", report.pluginPath, report.signature, report.creator);
    fmt::print(out, "sizes    {}, seed {}\n", describeSizes(report.sizes), report.seed);
    fmt::print(out, "bound    relative RMS error <= {:.2g} * sqrt(log2 N + 1)", kErrorBoundScale);
    if (report.sizes.size() == 1)
        fmt::print(out, " ({:.3g} at {})", errorBound(report.sizes.front()), powerOfTwoText(report.sizes.front()));
    else if (!report.sizes.empty())
        fmt::print(out, " ({:.3g} at {}, {:.3g} at {})", errorBound(report.sizes.front()), powerOfTwoText(report.sizes.front()),
                   errorBound(report.sizes.back()), powerOfTwoText(report.sizes.back()));
    fmt::print(out, "\n\n");
    if (!report.catalogueFaults.empty()) {
        fmt::print(out, "catalogue faults:\n");
        for (const auto& fault : report.catalogueFaults) fmt::print(out, "  {}\n", fault.text());
        if (!report.entries.empty()) fmt::print(out, "\n");
    }

    auto cell = [](bool passed) { return passed ? "PASS" : "FAIL"; };
    auto result = [&](const EntryVerdict& verdict) {
        return verdict.stop ? stopName(verdict.stop->kind) : cell(verdict.passed());
    };
    const std::string sizeColumn = verbose ? fmt::format("  {:<5}", "N") : "";
    if (!report.entries.empty()) {
        fmt::print(out, "{:>5}{}", "entry", sizeColumn);
        for (const Check check : kChecks) fmt::print(out, "  {:<9}", checkName(check));
        // The accuracy check's figure: its relative RMS error (by size), or
        // the worst of them over the bound and where (by entry).
        fmt::print(out, "  {:<14}  {}\n", verbose ? "accuracy error" : "accuracy/bound", "result");
    }
    for (const EntryVerdict& verdict : report.entries) {
        if (verbose) {
            for (const SizeVerdict& size : verdict.sizes) {
                // Numerical checks show how much of their tolerance they used.
                fmt::print(out, "{:>5}  {:<5}", verdict.entry.index, powerOfTwoText(size.N));
                for (const Check check : kChecks) {
                    const bool numeric = check != Check::protocol && check != Check::bounds;
                    fmt::print(out, "  {:<9}",
                               numeric ? fmt::format("{} {:.2f}", cell(size[check].passed), std::min(size[check].ratio, 99.0))
                                       : std::string(cell(size[check].passed)));
                }
                fmt::print(out, "  {:<14.3g}  {}\n", size.error, cell(size.passed()));
            }
            if (verdict.stop)
                fmt::print(out, "{:>5}  {:<5}  {}\n", verdict.entry.index, powerOfTwoText(verdict.stop->N),
                           stopName(verdict.stop->kind));
            continue;
        }
        // The worst error relative to the bound, and where ("0 at 2^0" for
        // the exact one-point transform; "-" only where no size was checked).
        double worst = 0;
        uint32_t worstN = 0;
        for (const SizeVerdict& size : verdict.sizes)
            if (worstN == 0 || !(size[Check::accuracy].ratio <= worst)) worst = size[Check::accuracy].ratio, worstN = size.N;
        fmt::print(out, "{:>5}", verdict.entry.index);
        // An entry stopped before its first size passed nothing: no verdicts.
        for (const Check check : kChecks)
            fmt::print(out, "  {:<9}", verdict.sizes.empty() ? "-" : cell(verdict.passed(check)));
        const std::string worstText = worstN ? fmt::format("{:.2g} at {}", worst, powerOfTwoText(worstN)) : "-";
        fmt::print(out, "  {:<14}  {}\n", worstText, result(verdict));
    }

    size_t failedEntries = 0;
    bool headed = false;
    for (const EntryVerdict& verdict : report.entries) {
        if (verdict.passed()) continue;
        ++failedEntries;
        if (!headed) fmt::print(out, "\nfailures:\n");
        headed = true;
        for (const Check check : kChecks) {
            size_t failing = 0;
            const SizeVerdict* first = nullptr;
            for (const SizeVerdict& size : verdict.sizes) {
                if (size[check].passed) continue;
                if (failing++ == 0) first = &size;
            }
            if (first == nullptr) continue;
            fmt::print(out, "  entry {}: {} FAIL at {} of {} sizes; at N = {}: {}\n", verdict.entry.index,
                       checkName(check), failing, verdict.sizes.size(),
                       powerOfTwoText(first->N), (*first)[check].detail);
        }
        if (const auto& stop = verdict.stop)
            fmt::print(out, "  entry {}: {} at N = {}: {}; {} of {} sizes were checked before\n", verdict.entry.index,
                       stopName(stop->kind), powerOfTwoText(stop->N), stop->what, verdict.sizes.size(),
                       report.sizes.size());
    }
    const size_t faults = report.catalogueFaults.size();
    const char* plural = report.entries.size() == 1 ? "y" : "ies";
    if (failedEntries == 0 && faults == 0)
        fmt::print(out, "\nPASS: {} entr{} x {} checks x {}\n", report.entries.size(), plural, kChecks.size(),
                   describeSizes(report.sizes));
    else if (faults == 0)
        fmt::print(out, "\nFAIL: {} of {} entr{} failed\n", failedEntries, report.entries.size(), plural);
    else if (report.entries.empty())
        fmt::print(out, "\nFAIL: {} catalogue fault{}, no entries to verify\n", faults, faults == 1 ? "" : "s");
    else
        fmt::print(out, "\nFAIL: {} catalogue fault{}, {} of {} entr{} failed\n", faults, faults == 1 ? "" : "s",
                   failedEntries, report.entries.size(), plural);
}

}  // namespace fftbench
