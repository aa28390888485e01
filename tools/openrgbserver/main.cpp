#include "server_app.h"

int main(int argc, char *argv[])
{
    return openrgbserver::runOpenRgbServer(argc, argv);
}
