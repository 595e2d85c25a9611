#include "app/ClientMain.h"

int main(int argc, char *argv[])
{
    return zelk::runClient(argc, argv);
}
