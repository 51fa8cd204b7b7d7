// The main routine of every GoogleTest program: GoogleTest's own, which also
// leaves the program's totals for the test kit's runner (result_totals.h).
#include <gtest/gtest.h>

#include "result_totals.h"

class WriteTotalsAtEnd : public testing::EmptyTestEventListener {
    void OnTestProgramEnd(const testing::UnitTest& unitTest) override
    {
        ResultTotals totals = {static_cast<unsigned>(unitTest.successful_test_count()),
                               static_cast<unsigned>(unitTest.failed_test_count()),
                               static_cast<unsigned>(unitTest.skipped_test_count())};
        WriteResultTotals(totals);
    }
};

int main(int argumentCount, char** arguments)
{
    testing::InitGoogleTest(&argumentCount, arguments);
    testing::UnitTest::GetInstance()->listeners().Append(new WriteTotalsAtEnd);
    return RUN_ALL_TESTS();
}
