#pragma once
// Mean, population standard deviation and range of a benchmark's measurements.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

struct Spread {
    double mean = 0, sd = 0, low = 0, high = 0;
    std::size_t count = 0;
};

inline Spread SpreadOf(const std::vector<double>& values)
{
    Spread s;
    s.count = values.size();
    if (values.empty())
        return s;
    s.low = *std::min_element(values.begin(), values.end());
    s.high = *std::max_element(values.begin(), values.end());
    for (double v : values)
        s.mean += v;
    s.mean /= static_cast<double>(values.size());
    for (double v : values)
        s.sd += (v - s.mean) * (v - s.mean);
    s.sd = std::sqrt(s.sd / static_cast<double>(values.size()));
    return s;
}
