#pragma once
// The parts of tb-bench, each printing its own table or lines.

namespace tabulon::bench {

// Creating the plug-in object and Initialize.
void BenchCreate();
// "/xweball" with 1 to 32,767 shell windows, beside the plain baseline.
void BenchReport();
// What the plug-in adds per window beyond the baseline's reads.
void BenchParts();
// Opening and closing each of the three windows.
void BenchWindows();
// "/xweball" with today's browsers, read through Active Accessibility.
void BenchBrowsers();

}  // namespace tabulon::bench
