#include "server_app.h"

int main(int argc, char *argv[])
{
    return remoteapps::runRemoteAppsServer(argc, argv);
}
