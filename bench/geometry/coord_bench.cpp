// Cost per call of each pointing conversion, with ERFA's eraHd2ae and eraAe2hd
// measured in the same run as a yardstick. Each benchmark walks the same 1024
// pseudo-random inputs (fixed seed), so branch prediction cannot learn a
// single point; the reported time is per call.
#include <benchmark/benchmark.h>

#include <erfa.h>

#include <random>
#include <vector>

#include "geometry/coord.h"

namespace {

struct Input {
  double a1, a2, a3, lat, ha, dec, az, alt, frot;
};

const std::vector<Input> &inputs() {
  static const std::vector<Input> in = [] {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> u01(0.0, 1.0);
    std::vector<Input> v(1024);
    for (auto &p : v) {
      p.a1 = kCoordPi * (0.02 + 0.96 * u01(rng));
      p.a2 = kCoordPi * 0.97 * (u01(rng) - 0.5);
      p.a3 = kCoordTwoPi * u01(rng);
      p.lat = kCoordPi * (u01(rng) - 0.5);
      coord_a3_to_eq(&p.ha, &p.dec, p.a1, p.a2, p.a3, p.lat);
      coord_a3_to_altaz(&p.az, &p.alt, p.a1, p.a2, p.a3, p.lat);
      coord_a3_to_frot(&p.frot, p.a1, p.a2, p.a3, p.lat);
    }
    return v;
  }();
  return in;
}

// Runs call(input, out) over the inputs, one call per iteration.
template <typename Call>
void run(benchmark::State &state, Call call) {
  const auto &in = inputs();
  size_t i = 0;
  double out[3];
  for (auto _ : state) {
    call(in[i], out);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
    i = (i + 1) & (in.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_coord_a3_to_altaz(benchmark::State &s) {
  run(s,
      [](const Input &p, double *o) { coord_a3_to_altaz(&o[0], &o[1], p.a1, p.a2, p.a3, p.lat); });
}
void BM_coord_a3_to_eq(benchmark::State &s) {
  run(s, [](const Input &p, double *o) { coord_a3_to_eq(&o[0], &o[1], p.a1, p.a2, p.a3, p.lat); });
}
void BM_coord_a3_to_frot(benchmark::State &s) {
  run(s, [](const Input &p, double *o) { coord_a3_to_frot(&o[0], p.a1, p.a2, p.a3, p.lat); });
}
void BM_coord_eq_to_altaz(benchmark::State &s) {
  run(s, [](const Input &p, double *o) { coord_eq_to_altaz(&o[0], &o[1], p.ha, p.dec, p.lat); });
}
void BM_eraHd2ae(benchmark::State &s) {
  run(s, [](const Input &p, double *o) { eraHd2ae(p.ha, p.dec, p.lat, &o[0], &o[1]); });
}
void BM_coord_altaz_to_eq(benchmark::State &s) {
  run(s, [](const Input &p, double *o) { coord_altaz_to_eq(&o[0], &o[1], p.az, p.alt, p.lat); });
}
void BM_eraAe2hd(benchmark::State &s) {
  run(s, [](const Input &p, double *o) { eraAe2hd(p.az, p.alt, p.lat, &o[0], &o[1]); });
}
void BM_coord_eq_to_a3(benchmark::State &s) {
  run(s, [](const Input &p, double *o) {
    coord_eq_to_a3(&o[0], &o[1], &o[2], p.ha, p.dec, p.lat, p.frot);
  });
}
void BM_coord_altaz_to_a3(benchmark::State &s) {
  run(s, [](const Input &p, double *o) {
    coord_altaz_to_a3(&o[0], &o[1], &o[2], p.az, p.alt, p.lat, p.frot);
  });
}
void BM_coord_wrap(benchmark::State &s) {
  run(s, [](const Input &p, double *o) { o[0] = coord_wrap(p.ha); });
}

BENCHMARK(BM_coord_a3_to_altaz);
BENCHMARK(BM_coord_a3_to_eq);
BENCHMARK(BM_coord_a3_to_frot);
BENCHMARK(BM_coord_eq_to_altaz);
BENCHMARK(BM_eraHd2ae);
BENCHMARK(BM_coord_altaz_to_eq);
BENCHMARK(BM_eraAe2hd);
BENCHMARK(BM_coord_eq_to_a3);
BENCHMARK(BM_coord_altaz_to_a3);
BENCHMARK(BM_coord_wrap);

}  // namespace

BENCHMARK_MAIN();
