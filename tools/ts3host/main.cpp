// ts3host: a stand-in voice client for the plugin; see host.h.
#include "host.h"

int main(int argc, char *argv[])
{
    return ts3host::run(argc, argv);
}
