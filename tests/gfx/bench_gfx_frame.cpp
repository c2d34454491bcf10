// Placeholder until the sprite benchmarks are written.
#include <benchmark/benchmark.h>
BENCHMARK_MAIN();
