// QOVIPWDBankSet - the password bank settings tool. Runs only beside the
// suite's main application and only once at a time.
#include <windows.h>
#include "StartUp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, PWSTR commandLine, int showCommand)
{
    return runPWDBankSet(instance, previousInstance, commandLine, showCommand);
}
