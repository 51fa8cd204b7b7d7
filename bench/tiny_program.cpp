// The program every contender starts: it exits at once, with no C runtime to
// start up, so that the launchers' own costs stand out.
#include <windows.h>

extern "C" void TinyProgramStart()
{
    ExitProcess(0);
}
