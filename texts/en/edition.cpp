#include "kv/texts/text.h"

namespace kv::texts {
Edition edition() {
    return Edition::English;
}
const char* editionSuffix() {
    return "en";
}
} // namespace kv::texts
