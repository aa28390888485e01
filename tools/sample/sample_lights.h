// The sample settings file and the light command each word gives with it
// (light_commands.txt beside it): one set of profiles for the demo, the
// process tests and the benchmark. Plain C++, for the benchmark's sake.
#pragma once

#include <cstdint>
#include <string>

namespace sample {

// The sample TS3_Vossik_Plugin.ini.
std::string settingsFile();

struct Light {
    std::string text;  // "wParam=0x... lParam=0x...", as the stand-in service logs it
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
};

// The light command that the word with this text gives under the sample
// settings. Ends the program with a message when the list lacks the word:
// every user needs it to check anything.
Light light(const std::string &word);

}  // namespace sample
