#include "kv/audit/pseudonym.h"

#include "kv/common/content_hash.h"
#include "kv/common/records.h"
#include "kv/common/text.h"

#include <random>
#include <stdexcept>

namespace kv::audit {
namespace {

constexpr size_t kBlock = 64; // SHA-256's block, in bytes

std::string bytesOfHex(std::string_view hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

bool isKey(std::string_view s) {
    return s.size() == 64 && s.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace

std::string hmacSha256Hex(std::string_view key, std::string_view message) {
    std::string k = key.size() > kBlock ? bytesOfHex(sha256Hex(key)) : std::string(key);
    k.resize(kBlock, '\0');
    std::string inner = k, outer = k;
    for (size_t i = 0; i < kBlock; ++i)
        inner[i] = static_cast<char>(inner[i] ^ 0x36), outer[i] = static_cast<char>(outer[i] ^ 0x5c);
    const std::string innerHash = bytesOfHex(ContentHash().add(inner).add(message).hex());
    return ContentHash().add(outer).add(innerHash).hex();
}

Pseudonyms Pseudonyms::ofFolder(const std::filesystem::path& dir) {
    std::error_code ec;
    if (!std::filesystem::exists(dir / kPseudonymKeyFile, ec)) {
        std::random_device random;
        static const char* const digits = "0123456789abcdef";
        std::string hex;
        for (size_t i = 0; i < 32; ++i) {
            const unsigned c = random() & 0xff;
            hex += digits[c >> 4], hex += digits[c & 15];
        }
        RecordWriter w(dir, kPseudonymKeyFile, TextEncoding::Utf8);
        w.line(hex);
        w.create(); // another run that made its key first wins: its key is read below
    }
    const std::string text(trimmed(readFileBytes(dir, kPseudonymKeyFile, 1024), kWhiteSpace));
    if (!isKey(text))
        throw std::runtime_error((dir / kPseudonymKeyFile).string() + ": not a key of 64 hex digits");
    return Pseudonyms(bytesOfHex(text));
}

std::string Pseudonyms::of(std::string_view instanceUid, int event) const {
    if (instanceUid.empty()) return {};
    std::string message(instanceUid);
    if (event) message.append(1, '#').append(std::to_string(event));
    return hmacSha256Hex(key_, message).substr(0, 16);
}

} // namespace kv::audit
