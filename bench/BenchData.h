#pragma once

#include <string>

/**
 * Writes the benchmark designs into folder: r1.kvk (defaults, the fundamental alone),
 * r2.kvk (50 harmonics plus the fundamental at 512 per cycle, 12 and 12 cycles),
 * r3.kvk (the ~3000 entries that analyzing a noise-like 6144-sample waveshape gives,
 * same settings), f1.kvw (a 65536-sample waveshape), w1.kvk (the fundamental and 3000
 * entries at random fractional numbers, as r2), w2.kvk (r3's kind of table from an analysis
 * of 11 cycles), w3.kvk (the same from an analysis at 511.9 per cycle, 6143 samples), and
 * three files with very many entries (f3.kvk: 400,000 in descending order; f4.kvk: 64 MiB;
 * f6.kvk: 64 MiB of the shortest lines, 11.2 million entries), and the largest inputs of the
 * mask and capture readers (m64.csv, c64.csv), and a second of a mains capture (pq.csv).
 * Deterministic.
 */
void writeBenchData(const std::string& folder);
