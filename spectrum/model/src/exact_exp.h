#pragma once
// exp() of many arguments at once, each result the very double std::exp
// gives for it, only faster: the model's table is reproducible to the last
// digit and must stay so.
#include <cstddef>

namespace kv::spectrum {

// out[j] = std::exp(in[j]) for j < n, bit for bit.
void exactExp(const double* in, double* out, std::size_t n);

} // namespace kv::spectrum
