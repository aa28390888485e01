#include "service_app.h"

int main(int argc, char *argv[])
{
    return lightservice::runLightService(argc, argv);
}
