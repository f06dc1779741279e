// Entry point of OrvalisBench.exe.
#include <windows.h>

#include "app/app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    App app;
    return 0;
}
