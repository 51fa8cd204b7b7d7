#ifndef QUENLARK_TESTS_RESULT_TOTALS_H
#define QUENLARK_TESTS_RESULT_TOTALS_H

// What a test program tells the test kit's runner: where the environment
// variable QUENLARK_RESULTS names a file, the program writes its totals there
// as it ends, one line "N passed, N failed, N skipped". A program that ends
// without writing it did not run to its end. Header alone, on kernel32 and
// msvcrt, for the GoogleTest programs, the end-to-end cases and the runner.
#include <windows.h>
#include <stdio.h>

struct ResultTotals {
    unsigned passed;
    unsigned failed;
    unsigned skipped;
};

static const wchar_t ResultTotalsVariable[] = L"QUENLARK_RESULTS";
static const char ResultTotalsLine[] = "%u passed, %u failed, %u skipped\n";

// Writes `totals` where the runner asked; nothing where it did not.
static inline void WriteResultTotals(const ResultTotals& totals)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(ResultTotalsVariable, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    FILE* file = _wfopen(path, L"w");
    if (file == NULL)
        return;
    fprintf(file, ResultTotalsLine, totals.passed, totals.failed, totals.skipped);
    fclose(file);
}

// Reads what a program wrote to `path`; false where it wrote nothing whole.
static inline bool ReadResultTotals(const wchar_t* path, ResultTotals* totals)
{
    FILE* file = _wfopen(path, L"r");
    if (file == NULL)
        return false;
    int fields = fscanf(file, "%u passed, %u failed, %u skipped", &totals->passed, &totals->failed, &totals->skipped);
    fclose(file);
    return fields == 3;
}

#endif
