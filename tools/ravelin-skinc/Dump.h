#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

namespace skinc {

// Prints the tree of a binary skin with every typed property (raw file values, unscaled). False, with
// the reason in `error`, for bytes that are not a sound skin.
bool dump_skin(std::vector<uint8_t> bytes, std::ostream& out, std::string& error);

} // namespace skinc
