#include "locale.h"

#include <cstdlib>

namespace platform {

std::string user_language_code()
{
    for (char const* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        char const* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        std::string code;
        for (char const* p = value; *p && *p != '_' && *p != '.' && *p != '@' && *p != '-'; ++p)
            code += (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p + 32) : *p;
        if (code == "c" || code == "posix")
            return {};
        return code;
    }
    return {};
}

} // namespace platform
