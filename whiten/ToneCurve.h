// Shared by the tool's path and the reference: the logistic tone curve that
// puts the paper near white and pushes print towards black:
// y = 255 / (1 + exp(-K (v - T))).
#pragma once

#include <cstdint>
#include <vector>

struct ToneCurve {
    int paperLevel;   // P: peak bin - 256
    float midpoint;   // T = 0.6 P, where the curve gives 127.5
    float steepness;  // K, chosen so that y(P) = 255 / (1 + c), about 216.75

    // The curve for the paper level found in `counts` (512 bins from -256, the three
    // fullest already cleared): the lowest bin with the strictly highest count.
    static ToneCurve FromHistogram(const std::vector<int>& counts);
    // The curve for counts in those bins before any is cleared.
    static ToneCurve FromBinCounts(std::vector<int> counts);
    static ToneCurve ForPaperLevel(int paperLevel);

    // Each step is evaluated in double and rounded to float where the curve stores it.
    float Apply(float v) const;
};
