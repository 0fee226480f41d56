// Temporary entry until the main window lands.
#include "klvo.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
