#include "kv/texts/text.h"

namespace kv::texts {
Edition edition() {
    return Edition::Japanese;
}
const char* editionSuffix() {
    return "ja";
}
} // namespace kv::texts
