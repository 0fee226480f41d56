// Process entry of Klvo.exe; the command line is ignored.
#include "klvo.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return KelvoMain(instance);
}
