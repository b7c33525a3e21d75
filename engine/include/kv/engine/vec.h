#pragma once
#include <cmath>

namespace kv::engine {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(double s, Vec3 a) {
    return {s * a.x, s * a.y, s * a.z};
}
inline double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double norm(Vec3 a) {
    return std::sqrt(dot(a, a));
}

// Turns unit direction d by polar angle acos(cost) and azimuth given by its
// cosine and sine.
inline Vec3 rotate(Vec3 d, double cost, double cphi, double sphi) {
    double s2 = 1.0 - cost * cost;
    double sint = s2 > 0.0 ? std::sqrt(s2) : 0.0;
    double w2 = 1.0 - d.z * d.z;
    if (w2 < 1e-12) {
        double s = d.z < 0 ? -1.0 : 1.0;
        return {sint * cphi, s * sint * sphi, s * cost};
    }
    double t = std::sqrt(w2);
    return {d.x * cost + sint * (d.x * d.z * cphi - d.y * sphi) / t,
            d.y * cost + sint * (d.y * d.z * cphi + d.x * sphi) / t, d.z * cost - t * sint * cphi};
}

} // namespace kv::engine
