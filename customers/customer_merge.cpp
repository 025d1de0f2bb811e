#include "customer_merge.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace pyrelto {

namespace {

using Counts = std::map<std::u16string_view, long long>;

Counts countNames(std::span<const std::u16string> names) {
    Counts counts;
    for (const auto& name : names)
        ++counts[name];
    return counts;
}

long long countOf(const Counts& counts, std::u16string_view name) {
    const auto it = counts.find(name);
    return it == counts.end() ? 0 : it->second;
}

} // namespace

std::vector<std::u16string> mergeCustomerNames(std::span<const std::u16string> base,
                                               std::span<const std::u16string> ours,
                                               std::span<const std::u16string> theirs) {
    const Counts baseCounts = countNames(base);
    const Counts ourCounts = countNames(ours);
    const Counts theirCounts = countNames(theirs);

    // How many entries of each name the result holds.
    Counts wanted;
    auto consider = [&](const Counts& names) {
        for (const auto& [name, unused] : names) {
            if (wanted.contains(name))
                continue;
            const long long b = countOf(baseCounts, name);
            const long long o = countOf(ourCounts, name);
            const long long t = countOf(theirCounts, name);
            const long long removed = std::max({0LL, b - o, b - t});
            const long long added = std::max({0LL, o - b, t - b});
            wanted[name] = b - removed + added;
        }
    };
    consider(baseCounts);
    consider(ourCounts);
    consider(theirCounts);

    std::vector<std::u16string> merged;
    merged.reserve(ours.size() + theirs.size());
    for (const auto& name : ours) {
        if (auto& left = wanted[name]; left > 0) {
            merged.push_back(name);
            --left;
        }
    }
    for (const auto& name : theirs) {
        if (auto& left = wanted[name]; left > 0) {
            merged.push_back(name);
            --left;
        }
    }
    return merged;
}

bool sameCustomerNames(std::span<const std::u16string> a, std::span<const std::u16string> b) {
    return a.size() == b.size() && countNames(a) == countNames(b);
}

} // namespace pyrelto
