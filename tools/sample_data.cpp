#include "sample_data.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace sample {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGravity = 9.80665;

double lat_of(int j) { return (-90.0 + (j + 0.5) * 180.0 / kLat) * kPi / 180.0; }
double lon_of(int i) { return i * 2.0 * kPi / kLon; }

// Height in metres of full level k (1 at the surface, 28 near 30 km).
double level_height(int k) { return 30000.0 * std::pow((k - 0.5) / kLevels, 1.6); }

double orography(double lat, double lon) {
  const double ridge = std::sin(3.0 * lon) * std::cos(2.0 * lat);
  return 300.0 * (1.0 + std::cos(lat)) + 1500.0 * ridge * ridge;
}

double value_at(Field f, int k, double lat, double lon) {
  const double z = level_height(k);
  switch (f) {
    case Field::gz:
      return kGravity * orography(lat, lon);
    case Field::q:  // surface pressure, Pa
      return 101325.0 - 12.0 * orography(lat, lon) +
             800.0 * std::cos(2.0 * lat) * std::sin(lon);
    case Field::te: {  // temperature, K, with a tropopause near 11 km
      const double surface = 250.0 + 40.0 * std::cos(lat) * std::cos(lat);
      const double t = surface - 0.0065 * std::min(z, 11000.0);
      return t + 2.0 * std::sin(2.0 * lon) * std::cos(lat);
    }
    case Field::uu: {  // zonal wind, m/s: a jet at mid-latitudes
      const double jet = std::sin(2.0 * lat);
      return 35.0 * jet * jet * std::sin(kPi * std::min(z, 20000.0) / 24000.0) +
             3.0 * std::cos(lon);
    }
    case Field::vv:  // meridional wind, m/s
      return 6.0 * std::sin(2.0 * lon) * std::cos(lat) * std::exp(-z / 15000.0);
    case Field::rq:  // specific humidity, kg/kg
      return 0.018 * std::cos(lat) * std::cos(lat) * std::exp(-z / 2500.0) + 1.0e-6;
    case Field::trailing:
      switch (k) {
        case 1: return 255.0 + 45.0 * std::cos(lat) * std::cos(lat);        // skin temperature
        case 2: return 0.3 + 0.1 * std::sin(lon) * std::cos(lat);           // soil moisture
        case 3: return std::max(0.0, -std::sin(lat)) * 0.5;                 // snow depth, m
        case 4: return 0.5 + 0.4 * std::sin(3.0 * lon + lat);               // cloud cover
        default: return 1.0e-5 * (1.0 + std::cos(2.0 * lat) * std::sin(lon));  // precipitation
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
  for (int i = 0; i < 29; ++i) h.table_29.push_back(std::pow(i / 28.0, 1.6));  // half-level sigma
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
  for (int j = 0; j < kLat; ++j)
    for (int i = 0; i < kLon; ++i) v.push_back(value_at(field, k, lat_of(j), lon_of(i)));
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
