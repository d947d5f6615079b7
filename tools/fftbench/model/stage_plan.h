// How `fftbench stages` splits one transform into the stages it times, from
// the stage marks the kernel passes (subject/stage_build.h): the copy of
// input into work that every call makes, then each stage in order (a
// closing pass a stage of its own). Where the same stage recurs, as entry
// 4's depth-first recursion runs every 256-point block through all its
// stages and joins each level's blocks one after another, the rows are its
// leaf blocks (the shapes that recur most, together) and its joins, one row
// per level; such a row is timed on its first occurrence and counted as
// many times as it occurs.
//
// Time is taken by ending the transform at a mark: t(s) is a call that
// copies and runs the first s stages, t(all) a whole call, and a row whose
// first occurrence runs marks a to b (counted from 1) takes
// (t(b) - t(a - 1)) times its occurrences; the copy takes t(0). The leaf
// blocks and joins of a recursion are timed in place instead (u(s): a call
// with input == work, which runs the first s stages with no copy), since
// the copy of the whole array would bury the first block's time in its
// noise: such a row takes (u(b) - u(a - 1)) times its occurrences, and the
// copy then takes t(all) - u(all), what the whole call takes beyond the
// whole transform in place, so that the lines the copy pushes through the
// caches, which the in-place rows never meet, are counted too.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "plugin/stages.h"

namespace fftbench {

struct StageRow {
    enum class Kind { copy, stage, closing, leaves, join };
    Kind kind = Kind::stage;
    uint32_t block = 0, apart = 0;  // of its marks; leaves: the leaf size and the widest apart inside
    uint32_t occurrences = 1;       // how often the kernel runs it; timed once, counted this often
    uint32_t firstMark = 0, lastMark = 0;  // its first occurrence, marks from 1; the copy: 0, 0
    std::string label() const;             // "copy", "stage 3", "closing pass", "leaf blocks", "join"
    std::string shape() const;             // "block 16, apart 4"; "256-point blocks x256"; "" for the copy
    bool inPlace() const { return kind == Kind::leaves || kind == Kind::join; }  // timed by u(s)
};

struct StagePlan {
    uint32_t marks = 0;            // marks the kernel passes in all
    std::vector<StageRow> rows;    // the copy first, then in the order they begin
    // Per mark (index = mark - 1): the row whose operations it counts to,
    // over every occurrence; -1 for none (an empty stage folded away).
    std::vector<int> rowOfMark;
    // The stage counts whose times the rows need (0 … marks), ascending:
    // t(s) of stops(), u(s) of inPlaceStops() (none without such rows).
    std::vector<uint32_t> stops() const;
    std::vector<uint32_t> inPlaceStops() const;
    // The rows' seconds from t(s) and u(s) of every s of stops() and inPlaceStops().
    std::vector<double> rowSeconds(const std::map<uint32_t, double>& secondsAtStop,
                                   const std::map<uint32_t, double>& inPlaceSecondsAtStop = {}) const;
    // Whether any row is timed in place (then the copy is t(all) - u(all)).
    bool timesInPlace() const;
    // Rows that are stages (all but the copy).
    size_t stageCount() const { return rows.empty() ? 0 : rows.size() - 1; }
};

// `empty` (optional, one per mark): the stages that touch no sample, such
// as the closing pass of radix 4 where log2 N is even; their marks fold into
// the row before them.
StagePlan planStages(const std::vector<FftplugStageMark>& marks, const std::vector<bool>& empty = {});

}  // namespace fftbench
