#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

namespace bench {

// A home of its own under /tmp for a benchmark run: the XDG folders, the registry and no card, no
// microphone and no speaker, so that nothing of the user's is read or changed. Returns the folder.
inline std::string use_private_home()
{
    char pattern[] = "/tmp/ravelin-bench-XXXXXX";
    std::string const home = mkdtemp(pattern);
    for (auto [name, place] : { std::pair { "HOME", "" }, { "XDG_CONFIG_HOME", "/config" },
             { "XDG_STATE_HOME", "/state" }, { "XDG_DATA_HOME", "/data" }, { "XDG_DOCUMENTS_DIR", "/Documents" },
             { "XDG_RUNTIME_DIR", "/run" }, { "RAVELIN_REGISTRY", "/config/ravelin/registry.db" } }) {
        std::filesystem::create_directories(home + "/" + (place[0] ? place + 1 : ""));
        setenv(name, (home + place).c_str(), 1);
    }
    setenv("RAVELIN_CARDS", "", 1);
    setenv("RAVELIN_AUDIO_IN", "none", 1);
    setenv("RAVELIN_AUDIO_OUT", "none", 1);
    return home;
}

} // namespace bench
