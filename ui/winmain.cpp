#include "resources/resource.h"
#include "ui/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    if (!InitInstance(instance, showCommand)) {
        return 0;
    }
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_MAIN));
    const int code = RunMessageLoop(accelerators);
    ShutDown();
    // The process ends here, once the window is gone: a worker still inside a platform call
    // (a lookup, a Connection Manager request) is not waited for, nor are static destructors
    // that would wait for it.
    ExitProcess(static_cast<UINT>(code));
}
