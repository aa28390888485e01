#include "helper_app.h"

int main(int argc, char *argv[])
{
    return runHelper(argc, argv);
}
