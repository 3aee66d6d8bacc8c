// A library named like the optional chooser but without its exports.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI SomethingElse()
{
    return 0;
}
