#include "kv/texts/engine.h"

namespace kv::texts {

// One English text for both editions: each engine is a single program.
const EngineTexts& engineTexts() {
    return englishEngineTexts;
}

} // namespace kv::texts
