#pragma once

#include <vector>

// Order statistics of a set of samples (nearest rank).
struct Spread
{
    int count = 0;
    double p50 = 0;
    double p90 = 0;
    double p99 = 0;
    double max = 0;
};

Spread spreadOf(std::vector<double> samples);

// The machine is shared: every figure says how busy it was while it was taken.
double loadAverage();
