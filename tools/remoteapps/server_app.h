// The whole stand-in Remote Apps server, so that main() only forwards.
#pragma once

namespace remoteapps {

int runRemoteAppsServer(int argc, char *argv[]);

}  // namespace remoteapps
