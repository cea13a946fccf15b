#pragma once

#include <string>

namespace platform {

// The user's language as the locale names it: the lower-case language part of LC_ALL, LC_MESSAGES or
// LANG (the first that is set), such as "de" for "de_DE.UTF-8"; empty for "C", "POSIX" or none.
std::string user_language_code();

} // namespace platform
