#include "sample_data.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace sample {
namespace {

// Every value comes from integers, +, -, *, / and sqrt, which IEEE arithmetic
// rounds exactly, so the file has the same bytes on every machine. Library
// sines, exponentials and powers may differ in their last bit between C
// libraries and between processors, and would change the demo's checksums.

constexpr double kGravity = 9.80665;
constexpr double kTwoPi = 6.283185307179586;

// sin(2 pi t) for t in [-0.5, 0.5]: folded onto a quarter turn, then a
// Taylor polynomial to x^13 (error below 1e-9 there).
double sin_turn(double t) {
  if (t > 0.25) t = 0.5 - t;
  if (t < -0.25) t = -0.5 - t;
  const double x = kTwoPi * t, x2 = x * x;
  double sum = 1.0;
  for (int n = 13; n >= 3; n -= 2) sum = 1.0 - x2 / (n * (n - 1)) * sum;
  return x * sum;
}

// sin(2 pi a / b), the fraction reduced to half a turn in integers first.
double sin_ratio(long a, long b) {
  const long r = (a % b + b) % b;
  return sin_turn(static_cast<double>(2 * r < b ? r : r - b) / b);
}

// exp(-a) for a >= 0: a short series at a / 16, inverted and squared four times.
double decay(double a) {
  const double b = a / 16.0;
  double e = 1.0 / (1.0 + b * (1.0 + b * (0.5 + b * (1.0 / 6.0 + b / 24.0))));
  for (int i = 0; i < 4; ++i) e *= e;
  return e;
}

// A grid point: latitude given by its sine (rows equally spaced in it, so
// each row covers the same area) and a longitude index.
struct Point {
  double mu;   // sin(latitude)
  double c;    // cos(latitude)
  int i;       // longitude i * 360 / kLon degrees
};

double sin_lon(int m, const Point& p) { return sin_ratio(static_cast<long>(m) * p.i, kLon); }
double cos_lon(int m, const Point& p) {
  return sin_ratio(4L * m * p.i + kLon, 4L * kLon);  // a quarter turn on
}

// Height in metres of full level k (1 at the surface, 28 near 29 km).
double level_height(int k) {
  const double x = (k - 0.5) / kLevels;
  return 30000.0 * x * std::sqrt(x);
}

double orography(const Point& p) {
  const double ridge = sin_lon(3, p) * (1.0 - 2.0 * p.mu * p.mu);
  return 300.0 * (1.0 + p.c) + 1500.0 * ridge * ridge;
}

double value_at(Field f, int k, const Point& p) {
  const double z = level_height(k);
  const double cos_2lat = 1.0 - 2.0 * p.mu * p.mu;
  switch (f) {
    case Field::gz:
      return kGravity * orography(p);
    case Field::q:  // surface pressure, Pa
      return 101325.0 - 12.0 * orography(p) + 800.0 * cos_2lat * sin_lon(1, p);
    case Field::te: {  // temperature, K: a tropopause at 11 km, warming above 20 km
      const double surface = 250.0 + 40.0 * p.c * p.c;
      const double t = surface - 0.0065 * std::min(z, 11000.0) + 0.001 * std::max(0.0, z - 20000.0);
      return t + 2.0 * sin_lon(2, p) * p.c;
    }
    case Field::uu: {  // zonal wind, m/s: a jet at mid-latitudes
      const double jet = 2.0 * p.mu * p.c;  // sin(2 latitude)
      return 35.0 * jet * jet * sin_turn(std::min(z, 20000.0) / 48000.0) + 3.0 * cos_lon(1, p);
    }
    case Field::vv:  // meridional wind, m/s
      return 6.0 * sin_lon(2, p) * p.c * decay(z / 15000.0);
    case Field::rq:  // specific humidity, kg/kg
      return 0.018 * p.c * p.c * decay(z / 2500.0) + 1.0e-6;
    case Field::trailing:
      switch (k) {
        case 1: return 255.0 + 45.0 * p.c * p.c;                 // skin temperature
        case 2: return 0.3 + 0.1 * sin_lon(1, p) * p.c;          // soil moisture
        case 3: return std::max(0.0, -p.mu) * 0.5;               // snow depth, m
        case 4: return 0.5 + 0.4 * sin_lon(3, p) * p.c;          // cloud cover
        default: return 1.0e-5 * (1.0 + cos_2lat * sin_lon(1, p));  // precipitation
      }
  }
  return 0.0;
}

}  // namespace

Header header() {
  Header h{};
  std::memcpy(h.text.data(), "KELVORANSAMPLE  T42L28  20261209", 32);
  h.value = 6.0;  // forecast hour
  h.integers = {2026, 12, 9, 0};
  for (int i = 0; i < 29; ++i) {
    const double x = i / 28.0;
    h.table_29.push_back(x * std::sqrt(x));  // half-level sigma
  }
  for (int i = 0; i < 28; ++i)
    h.table_28.push_back(0.5 * (h.table_29[i] + h.table_29[i + 1]));          // full-level sigma
  for (int i = 0; i < 144; ++i) h.table_144.push_back(2.5 * i);              // longitudes
  for (int n = 0; n < 306; ++n)
    h.table_306.push_back(n * (n + 1.0) / (6371000.0 * 6371000.0));         // Laplacian eigenvalues
  return h;
}

std::vector<double> level(Field field, int k) {
  std::vector<double> v;
  v.reserve(kPoints);
  for (int j = 0; j < kLat; ++j) {
    const double mu = -1.0 + (2.0 * j + 1.0) / kLat;
    const double c = std::sqrt(1.0 - mu * mu);
    for (int i = 0; i < kLon; ++i) v.push_back(value_at(field, k, {mu, c, i}));
  }
  return v;
}

void put_be32(std::string& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>(v >> s));
}

void put_be64(std::string& out, std::uint64_t v) {
  put_be32(out, static_cast<std::uint32_t>(v >> 32));
  put_be32(out, static_cast<std::uint32_t>(v));
}

void put_f64(std::string& out, double v) { put_be64(out, std::bit_cast<std::uint64_t>(v)); }

std::string record(const std::string& payload) {
  std::string out;
  put_be32(out, static_cast<std::uint32_t>(payload.size()));
  out += payload;
  put_be32(out, static_cast<std::uint32_t>(payload.size()));
  return out;
}

std::string header_record_1(const Header& h) {
  return record(std::string(h.text.data(), h.text.size()));
}

std::string header_record_2(const Header& h) {
  std::string p;
  put_f64(p, h.value);
  for (auto i : h.integers) put_be32(p, static_cast<std::uint32_t>(i));
  for (const auto* t : {&h.table_29, &h.table_28, &h.table_144, &h.table_306})
    for (double x : *t) put_f64(p, x);
  return record(p);
}

std::string level_record(const std::vector<double>& values) {
  std::string p;
  p.reserve(values.size() * 8);
  for (double x : values) put_f64(p, x);
  return record(p);
}

std::vector<std::string> file_records() {
  const Header h = header();
  std::vector<std::string> r = {header_record_1(h), header_record_2(h)};
  r.push_back(level_record(level(Field::gz, 1)));
  r.push_back(level_record(level(Field::q, 1)));
  for (int k = 1; k <= kLevels; ++k) r.push_back(level_record(level(Field::te, k)));
  for (int k = 1; k <= kLevels; ++k) {
    r.push_back(level_record(level(Field::uu, k)));
    r.push_back(level_record(level(Field::vv, k)));
  }
  for (int k = 1; k <= kLevels; ++k) r.push_back(level_record(level(Field::rq, k)));
  for (int k = 1; k <= 5; ++k) r.push_back(level_record(level(Field::trailing, k)));
  return r;
}

std::string file_bytes() {
  std::string all;
  for (const auto& r : file_records()) all += r;
  return all;
}

}  // namespace sample
