#include "model/stage_plan.h"

#include <fmt/format.h>

#include <algorithm>

namespace fftbench {

std::string StageRow::label() const {
    switch (kind) {
        case Kind::copy: return "copy";
        case Kind::closing: return "closing pass";
        case Kind::leaves: return "leaf blocks";
        case Kind::join: return "join";
        case Kind::stage: break;
    }
    return "stage";
}

std::string StageRow::shape() const {
    if (kind == Kind::copy) return "";
    if (kind == Kind::leaves) return fmt::format("{}-point blocks x{}", block, occurrences);
    if (occurrences > 1) return fmt::format("block {}, apart {} x{}", block, apart, occurrences);
    return fmt::format("block {}, apart {}", block, apart);
}

bool StagePlan::timesInPlace() const {
    return std::any_of(rows.begin(), rows.end(), [](const StageRow& r) { return r.inPlace(); });
}

std::vector<uint32_t> StagePlan::inPlaceStops() const {
    std::vector<uint32_t> stops;
    for (const StageRow& row : rows)
        if (row.inPlace()) {
            stops.push_back(row.firstMark - 1);
            stops.push_back(row.lastMark);
        }
    if (!stops.empty()) stops.push_back(marks);  // the whole in place, for the copy's row
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    return stops;
}

std::vector<uint32_t> StagePlan::stops() const {
    std::vector<uint32_t> stops{0, marks};
    for (const StageRow& row : rows)
        if (row.kind != StageRow::Kind::copy && !row.inPlace()) {
            stops.push_back(row.firstMark - 1);
            stops.push_back(row.lastMark);
        }
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    return stops;
}

std::vector<double> StagePlan::rowSeconds(const std::map<uint32_t, double>& at,
                                          const std::map<uint32_t, double>& inPlace) const {
    const bool anyInPlace = timesInPlace();
    std::vector<double> seconds;
    for (const StageRow& row : rows) {
        if (row.kind == StageRow::Kind::copy) {
            seconds.push_back(anyInPlace ? at.at(marks) - inPlace.at(marks) : at.at(0));
            continue;
        }
        const auto& from = row.inPlace() ? inPlace : at;
        seconds.push_back((from.at(row.lastMark) - from.at(row.firstMark - 1)) * row.occurrences);
    }
    return seconds;
}

StagePlan planStages(const std::vector<FftplugStageMark>& marks, const std::vector<bool>& empty) {
    StagePlan plan;
    plan.marks = static_cast<uint32_t>(marks.size());
    plan.rowOfMark.assign(marks.size(), -1);
    plan.rows.push_back(StageRow{StageRow::Kind::copy, 0, 0, 1, 0, 0});
    auto shapeOf = [&](size_t m) { return std::pair{marks[m].block, marks[m].apart}; };
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> count;
    for (size_t m = 0; m < marks.size(); ++m) ++count[shapeOf(m)];
    uint32_t most = 0;
    for (const auto& [shape, n] : count) most = std::max(most, n);

    // Recurring stages: the leaf blocks first (the shapes that recur most,
    // as the first marks run them), then one row for each other shape.
    std::map<std::pair<uint32_t, uint32_t>, int> rowOfShape;
    size_t m = 0;
    if (most > 1) {
        StageRow leaves{StageRow::Kind::leaves, 0, 0, most, 1, 0};
        // The first leaf block: up to the first shape seen again.
        while (m < marks.size() && count[shapeOf(m)] == most && !rowOfShape.count(shapeOf(m))) {
            leaves.block = std::max(leaves.block, marks[m].block);
            leaves.apart = std::max(leaves.apart, marks[m].apart);
            leaves.lastMark = static_cast<uint32_t>(m + 1);
            rowOfShape[shapeOf(m)] = 1;
            ++m;
        }
        if (leaves.lastMark > 0) plan.rows.push_back(leaves);
    }
    for (; m < marks.size(); ++m) {
        const auto shape = shapeOf(m);
        if (rowOfShape.count(shape)) continue;  // a later occurrence
        const bool folds = !empty.empty() && empty[m];
        if (folds && plan.rows.size() > 1 && plan.rows.back().occurrences == 1 &&
            plan.rows.back().lastMark == m) {
            plan.rows.back().lastMark = static_cast<uint32_t>(m + 1);
            continue;
        }
        StageRow row{StageRow::Kind::stage, marks[m].block, marks[m].apart, count[shape],
                     static_cast<uint32_t>(m + 1), static_cast<uint32_t>(m + 1)};
        if (most > 1) row.kind = StageRow::Kind::join;
        // A pass over pairs N/2 apart after stages whose butterflies combine
        // samples a quarter of their block apart: the closing pass.
        if (m > 0 && marks[m].apart * 2 == marks[m].block && marks[m - 1].apart * 4 == marks[m - 1].block)
            row.kind = StageRow::Kind::closing;
        rowOfShape[shape] = static_cast<int>(plan.rows.size());
        plan.rows.push_back(row);
    }
    for (size_t k = 0; k < marks.size(); ++k) {
        const auto found = rowOfShape.find(shapeOf(k));
        if (found != rowOfShape.end()) plan.rowOfMark[k] = found->second;
        else if (!empty.empty() && empty[k])  // folded into the row before
            for (size_t r = plan.rows.size(); r-- > 1;)
                if (plan.rows[r].firstMark <= k + 1 && k + 1 <= plan.rows[r].lastMark) plan.rowOfMark[k] = static_cast<int>(r);
    }
    return plan;
}

}  // namespace fftbench
