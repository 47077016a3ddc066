// A running sum of sample values that does not drift: plain float addition of thousands of
// volts loses the low bits of every term, so a signal whose values cancel exactly would
// read as a tiny offset. Neumaier's compensation carries the lost bits along.
#pragma once

#include <cmath>

struct SampleSum {
    double sum = 0.0;
    double compensation = 0.0;

    void Add(double value)
    {
        const double total = sum + value;
        if (std::fabs(sum) >= std::fabs(value))
            compensation += (sum - total) + value;
        else
            compensation += (value - total) + sum;
        sum = total;
    }

    // A non-finite term makes the compensation meaningless; the plain sum already says
    // infinity or NaN then.
    double Total() const { return std::isfinite(sum) ? sum + compensation : sum; }
};
