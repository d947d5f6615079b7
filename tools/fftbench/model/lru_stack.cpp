#include "model/lru_stack.h"

#include <algorithm>
#include <utility>

namespace fftbench {

// ---- LRU stack distance -------------------------------------------------------

uint64_t LruStack::touch(uint32_t line) {
    for (size_t p = 0; p < topSize_; ++p)
        if (top_[p] == line) {
            for (size_t q = p; q > 0; --q) top_[q] = top_[q - 1];
            top_[0] = line;
            return p;
        }
    if (line >= last_.size()) last_.resize(std::max<size_t>(size_t{line} + 1, 2 * last_.size()), -1);
    const int64_t last = last_[line];
    uint64_t distance = kFirstTouch;
    if (last >= 0) {
        // Above it: the whole top, and the lines below the top that left it later.
        int64_t atOrBefore = 0;
        for (int64_t i = last + 1; i > 0; i -= i & -i) atOrBefore += tree_[static_cast<size_t>(i)];
        distance = topSize_ + below_ - static_cast<uint64_t>(atOrBefore);
        for (int64_t i = last + 1; i < static_cast<int64_t>(tree_.size()); i += i & -i) tree_[static_cast<size_t>(i)] -= 1;
        --below_;
    }
    last_[line] = -2;
    if (topSize_ == kTop) {
        sink(top_[kTop - 1]);
        --topSize_;
    }
    for (size_t q = topSize_; q > 0; --q) top_[q] = top_[q - 1];
    top_[0] = line;
    ++topSize_;
    return distance;
}

void LruStack::settle(const std::vector<uint64_t>& lastTouch) {
    std::vector<std::pair<uint64_t, uint32_t>> order;
    for (uint32_t line = 0; line < lastTouch.size(); ++line)
        if (lastTouch[line] != 0) order.emplace_back(lastTouch[line], line);
    std::sort(order.begin(), order.end());
    *this = LruStack();
    for (const auto& [time, line] : order) touch(line);  // every one a first touch: no distance to work out
}

void LruStack::sink(uint32_t line) {
    if (static_cast<uint64_t>(now_) == lineAt_.size()) compact();
    for (int64_t i = now_ + 1; i < static_cast<int64_t>(tree_.size()); i += i & -i) tree_[static_cast<size_t>(i)] += 1;
    last_[line] = now_;
    lineAt_[static_cast<size_t>(now_)] = line;
    ++now_;
    ++below_;
}

// Renumbers the times of the lines below the top 0, 1, … in order, with
// room for more than as many again before the next renumbering.
void LruStack::compact() {
    const size_t capacity = std::max<size_t>({4096, 4 * last_.size(), 2 * static_cast<size_t>(below_) + 1});
    std::vector<uint32_t> order;
    order.reserve(static_cast<size_t>(below_));
    for (int64_t t = 0; t < now_; ++t) {
        const uint32_t line = lineAt_[static_cast<size_t>(t)];
        if (last_[line] == t) order.push_back(line);
    }
    lineAt_.assign(capacity, 0);
    tree_.assign(capacity + 1, 0);
    for (size_t t = 0; t < order.size(); ++t) {
        last_[order[t]] = static_cast<int64_t>(t);
        lineAt_[t] = order[t];
    }
    // A Fenwick tree of ones at 0 … order.size() − 1, built in place.
    for (size_t i = 1; i < tree_.size(); ++i) {
        if (i <= order.size()) tree_[i] += 1;
        const size_t parent = i + (i & (~i + 1));
        if (parent < tree_.size()) tree_[parent] += tree_[i];
    }
    now_ = static_cast<int64_t>(order.size());
}

}  // namespace fftbench
