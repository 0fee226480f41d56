// Temporary entry until the main window lands.
#include "setup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    g_setup.instance = instance;
    return 0;
}
