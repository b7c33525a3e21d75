#pragma once
// The tube's target and filter materials, each once with its chemical symbol,
// for every file, table and label that names them ("Mo", "W"; "Mo/Rh").
//
//   symbol(TargetMaterial::Tungsten)   -> "W"
//   targetNamed("molybdenum")          -> TargetMaterial::Molybdenum  (symbol or name, any case)
//   filterNamed("Rh")                  -> FilterMaterial::Rhodium
#include <array>
#include <optional>
#include <string_view>

namespace kv::formats {

enum class TargetMaterial { Molybdenum = 0, Tungsten = 1, Rhodium = 2 };
// The filters a spectrum may pass, in the spectrum screen's order.
enum class FilterMaterial { Beryllium, Aluminum, Molybdenum, Rhodium, Silver };

inline constexpr std::array kTargetMaterials = {TargetMaterial::Molybdenum, TargetMaterial::Tungsten,
                                                TargetMaterial::Rhodium};
inline constexpr std::array kFilterMaterials = {FilterMaterial::Beryllium, FilterMaterial::Aluminum,
                                                FilterMaterial::Molybdenum, FilterMaterial::Rhodium,
                                                FilterMaterial::Silver};

// "Mo", "W"; "Be", "Al", "Mo", "Rh", "Ag".
std::string_view symbol(TargetMaterial t);
std::string_view symbol(FilterMaterial f);
// The English element name in lower case: "molybdenum"; "aluminum".
std::string_view elementName(TargetMaterial t);
std::string_view elementName(FilterMaterial f);

// The material whose symbol or element name `name` is, in any letter case
// ("W", "tungsten", "MOLYBDENUM"; "aluminium" too); nothing for another text,
// blanks around it included.
std::optional<TargetMaterial> targetNamed(std::string_view name);
std::optional<FilterMaterial> filterNamed(std::string_view name);

} // namespace kv::formats
