#include "sample_lights.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sample {

std::string settingsFile()
{
    return VOSSIK_SAMPLE_DIR "/TS3_Vossik_Plugin.ini";
}

Light light(const std::string &word)
{
    const std::string list = VOSSIK_SAMPLE_DIR "/light_commands.txt";
    std::ifstream file(list);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string name;
        Light light;
        if (!(fields >> name) || name != word)
            continue;
        std::getline(fields >> std::ws, light.text);
        if (std::sscanf(light.text.c_str(), "wParam=0x%" SCNx64 " lParam=0x%" SCNx64, &light.wParam,
                        reinterpret_cast<std::uint64_t *>(&light.lParam))
            == 2)
            return light;
    }
    std::fprintf(stderr, "%s has no light command for \"%s\"\n", list.c_str(), word.c_str());
    std::exit(2);
}

}  // namespace sample
