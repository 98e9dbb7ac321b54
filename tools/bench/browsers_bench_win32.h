#pragma once
// "/xweball" against today's browsers, read through Active Accessibility.

namespace tabulon::bench {

// Prints the table and the stalled browser's line; the stand-in shell lists nothing.
void BenchBrowsers();

}  // namespace tabulon::bench
