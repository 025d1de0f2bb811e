#pragma once

// Names as a firm collects them over the years: mixed lengths, capitalised, from a fixed seed so
// that the benchmarks and the window timing tool measure the same list.

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace pyrelto {

inline std::vector<std::u16string> sampleCustomerNames(int n) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> letter(0, 25);
    std::uniform_int_distribution<int> length(4, 24);
    std::vector<std::u16string> names;
    names.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::u16string name(static_cast<std::size_t>(length(rng)), u'a');
        for (auto& c : name)
            c = static_cast<char16_t>(u'a' + letter(rng));
        name[0] = static_cast<char16_t>(name[0] - 32);
        names.push_back(std::move(name));
    }
    return names;
}

} // namespace pyrelto
