#pragma once
// The one version of this build, e.g. "0.1+git20250612.149.g1617aa0c2":
// the project version, and from a git checkout the date, count and hash of
// the commit it was built from. A build from a tarball gives "0.1".
#include <string_view>

namespace kv {

std::string_view version();

} // namespace kv
