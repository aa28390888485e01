// The whole stand-in lighting server, so that main() only forwards.
#pragma once

namespace openrgbserver {

int runOpenRgbServer(int argc, char *argv[]);

}  // namespace openrgbserver
