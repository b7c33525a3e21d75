#pragma once
// A stable name for an exposure that is not its UID: HMAC-SHA-256 of the
// instance UID (and, for a dose report's event, its place) under a key kept
// in the cache folder. The same cache names the same exposure the same way in
// next quarter's audit, whatever files were added; without the key the name
// leads back to nothing.
#include <filesystem>
#include <string>
#include <string_view>

namespace kv::audit {

inline constexpr const char* kPseudonymKeyFile = "pseudonym.key";

class Pseudonyms {
  public:
    explicit Pseudonyms(std::string key) : key_(std::move(key)) {}
    // The key of `dir`, made (32 random bytes, as hex) when it has none yet.
    // Throws RecordError when it can be neither read nor written, and
    // std::runtime_error for a key file that holds no key.
    static Pseudonyms ofFolder(const std::filesystem::path& dir);
    // 16 lower-case hex digits; empty for an object with no instance UID.
    std::string of(std::string_view instanceUid, int event) const;

  private:
    std::string key_;
};

// HMAC-SHA-256 (RFC 2104) as 64 hex digits.
std::string hmacSha256Hex(std::string_view key, std::string_view message);

} // namespace kv::audit
