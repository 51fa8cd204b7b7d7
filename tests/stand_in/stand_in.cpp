// Stands in for a failing test program, for wine-run's rule on which runs to
// make once more: "silent" prints nothing, like a program Wine ended before
// it ran; "printing" prints a line first, like a test program that ran and
// failed. Either way it adds a line to the file named second and exits 1.
#include <stdio.h>
#include <string.h>

int main(int argumentCount, char** arguments)
{
    if (argumentCount != 3)
        return 2;
    FILE* runs = fopen(arguments[2], "a");
    if (runs == NULL)
        return 2;
    fputs("ran\n", runs);
    fclose(runs);
    if (strcmp(arguments[1], "printing") == 0)
        puts("[==========] Running 1 test from 1 test suite.");
    return 1;
}
