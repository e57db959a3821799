#pragma once
// The benchmark groups of tovera-bench. Each group prints its figures through report().

#include "drawing/model.h"

#include <QString>
#include <algorithm>
#include <chrono>
#include <vector>

namespace tovera {
class RecordSet;
}

namespace tovera::bench {

// Prints one figure: NAME<TAB>VALUE<TAB>UNIT.
void report(const char* name, double value, const char* unit);

// Milliseconds since `start`.
inline double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Median milliseconds of `runs` calls of `f`.
template <typename F> double medianMs(int runs, F f) {
    std::vector<double> times;
    for (int k = 0; k < runs; ++k) {
        const auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A scratch folder kept for the run (large stores may be reused across runs when
// TOVERA_BENCH_DIR names a folder).
QString scratchDir();

// The large register (100 000 records, one in ten with a 20 KB drawing and a 50 KB sheet),
// built once in the scratch folder and kept for later runs; its full path.
QString largeStore();
// The million-record register, built once in the scratch folder.
QString millionStore();

// A floor 1 of `count` elements (nine lines in ten, one box in ten) over a plan extent of
// 0..1200 drawing units, the same for the same seed.
DrawingModel randomFloor(int count, unsigned seed);

// The mean time (ms) of 50 posts over the open `records`, reported as `figure`.
void benchPosts(RecordSet& records, const char* figure);

void benchRender();
void benchView(); // zoom_press_10k_ms, floor_switch_10k_ms
void benchRead();
void benchRecords();
void benchRecordsServer(); // records_open_100k_pg_ms, search_owner_100k_pg_ms, records_post_pg_ms
void benchSearch();
void benchXls();
void benchXlsSave(); // xls_save_150k_ms, xls_save_150k_memory_ms
void benchSheet();
void benchImport(); // import_ms, import_rows_per_s, import_mb_per_s
void benchXlsx();   // xlsx_load_formula_stress_ms, xlsx_cells_largest_ms
void benchCalc();   // calc_edit_sample_us, calc_full_65536rows_ms, calc_check_corpus_ms
void benchAttach(); // attach_register_1mb_ms, attach_show_1mb_ms

} // namespace tovera::bench
