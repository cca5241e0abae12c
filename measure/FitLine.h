// Least-squares straight line through part of a sampled curve.
#pragma once

// Ordinary least squares over the entries from to to - 1 of x and y:
// y = slope * x + intercept. An empty range, or one whose x values are all
// equal, gives slope = intercept = 0.
void FitLine(const double* x, const double* y, int from, int to, double* slope, double* intercept);
