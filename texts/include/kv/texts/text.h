#pragma once
// Each edition's texts are typed data: one struct per program or screen,
// defined once in texts/en and once in texts/ja. A Text has no default, so an
// edition that leaves a member out does not compile.
#include <string>
#include <string_view>

namespace kv::texts {

class Text {
  public:
    consteval Text(const char* s) : s_(s) {}
    constexpr const char* c_str() const { return s_; }
    constexpr std::string_view view() const { return s_; }
    constexpr operator std::string_view() const { return s_; }
    std::string str() const { return s_; }

  private:
    const char* s_;
};

// A non-text difference between the editions (a pattern, a position).
template <class T> class Given {
  public:
    constexpr Given(T v) : v_(v) {}
    constexpr operator T() const { return v_; }
    constexpr T get() const { return v_; }

  private:
    T v_;
};

enum class Edition { English, Japanese };

// Which edition this program was linked with.
Edition edition();
// "en" or "ja": the suffix of the program names of this edition.
const char* editionSuffix();

} // namespace kv::texts
