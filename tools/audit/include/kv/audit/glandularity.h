#pragma once
// The glandularity of a typical breast from its compressed thickness and the
// woman's age: the tables of Dance, Skinner, Young, Beckett and Kotre 2000
// (Phys. Med. Biol. 45 3225, the typical-breast glandularities for ages 40-49
// and 50-64, 2-11 cm), linear between the rows.
#include <optional>
#include <string>

namespace kv::audit {

enum class AgeGroup { Forties, Fifties }; // 40-49, 50-64

struct TypicalGlandularity {
    double percent = 0; // by weight
    AgeGroup group = AgeGroup::Fifties;
    // The age fell outside both groups (or was not known) and the nearest
    // group, or 50-64 for an unknown age, was taken.
    bool nearest = false;
    bool ageKnown = true;
};

inline constexpr double kTableMinThicknessMm = 20, kTableMaxThicknessMm = 110;

// Empty outside 20-110 mm.
std::optional<TypicalGlandularity> typicalGlandularity(double thicknessMm, std::optional<double> ageYears);

// "40-49", "50-64", "50-64 (nearest)", "50-64 (age unknown)".
std::string ageGroupLabel(const TypicalGlandularity& g);

} // namespace kv::audit
