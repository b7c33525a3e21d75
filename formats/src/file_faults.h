#pragma once
#include "kv/common/records.h"
#include "kv/spectrum/file_error.h"

namespace kv::spectrum {

// The record reader's and writer's errors as the spectrum tool reports them.
[[noreturn]] void throwFromRecordError(const kv::RecordError& e, int line);

} // namespace kv::spectrum
