#pragma once

#include <QString>

namespace vesk::PollingTexts {

// The polling choice's line in Settings: how often the agent polls and what a month of it
// costs, "Polling every 10–30 seconds. Measured ~100 MB/month." The monthly figures are the
// ones measured through a byte-counting proxy (docs/network-budget.json, read at build time).
QString line(bool lowDataMode);
QString line(bool lowDataMode, double monthMegabytes);

} // namespace vesk::PollingTexts
