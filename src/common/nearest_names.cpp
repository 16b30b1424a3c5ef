#include "common/nearest_names.h"

#include <algorithm>
#include <set>
#include <utility>

int EditDistance(const std::string& a, const std::string& b)
{
    // Three rows of the optimal string alignment table: the one before last, last, this.
    const size_t n = b.size();
    std::vector<int> before(n + 1), last(n + 1), row(n + 1);
    for (size_t j = 0; j <= n; ++j)
        last[j] = static_cast<int>(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        row[0] = static_cast<int>(i);
        for (size_t j = 1; j <= n; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
        std::swap(before, last);
        std::swap(last, row);
    }
    return last[n];
}

std::vector<std::string> NearestNames(const std::string& name, const std::vector<std::string>& candidates,
                                      size_t most)
{
    std::vector<std::pair<int, size_t>> ranked;
    std::set<std::string> seen;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (!seen.insert(candidates[i]).second)
            continue;
        const int distance = EditDistance(name, candidates[i]);
        const int allowed = std::max<int>(2, static_cast<int>(std::max(name.size(), candidates[i].size()) / 2));
        if (distance <= allowed)
            ranked.push_back({distance, i});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> nearest;
    for (size_t k = 0; k < ranked.size() && k < most; ++k)
        nearest.push_back(candidates[ranked[k].second]);
    return nearest;
}
