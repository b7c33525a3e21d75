#include "kv/engine/runner.h"

namespace kv::engine {

unsigned defaultThreadCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

} // namespace kv::engine
