// The program's entry point. The platform's C runtime (msvcrt.dll) splits the
// command line into the argument vector, wmain runs, and the C runtime ends the
// process with wmain's result, flushing its streams first. MinGW's own start-up
// code does the same with much besides that this program never uses (thread
// storage, constructors, runtime relocations, an exception filter), which
// costs a 32-bit launch under Wine several hundredths of its time.
#include <stdlib.h>

extern "C" {
struct RuntimeStartUpInfo {
    int newMode;
};
int __cdecl __wgetmainargs(int* argumentCount, wchar_t*** arguments, wchar_t*** environment, int expandWildcards,
                           RuntimeStartUpInfo* startUpInfo);
void __cdecl __set_app_type(int applicationType);
}

int wmain(int argumentCount, wchar_t** arguments, wchar_t** environment);

// The C runtime writes its own fatal errors to standard error, not to a window.
static const int ConsoleApplication = 1;

// The words must stay as typed: a pattern expanded to file names would no
// longer stand in the raw command line.
static const int NoWildcardExpansion = 0;

// Windows enters with the stack aligned to 4 bytes on x86; the compiler's code
// may count on 16. ARM64 enters aligned as its code expects.
#if defined(__i386__) || defined(__x86_64__)
#define QUENLARK_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define QUENLARK_ALIGN_STACK
#endif

extern "C" QUENLARK_ALIGN_STACK void QuenlarkStart()
{
    __set_app_type(ConsoleApplication);
    int argumentCount = 0;
    wchar_t** arguments = NULL;
    wchar_t** environment = NULL;
    RuntimeStartUpInfo startUpInfo = {0};
    // Without its arguments nothing can be started: exit status 0, as for any
    // launch that created no process.
    if (__wgetmainargs(&argumentCount, &arguments, &environment, NoWildcardExpansion, &startUpInfo) < 0)
        exit(0);
    exit(wmain(argumentCount, arguments, environment));
}
