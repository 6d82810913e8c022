/* main.cpp: process entry of the program: hands over to WinMain. */
#include "Veltrav20.h"

int main(int argc, char *argv[])
{
    return vr::WinMain(argc, argv);
}
