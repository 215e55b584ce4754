// Entry point of the store tests.
#include "QOVICommon.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    QOVIUserInfoManager::releaseUsers();
    QOVILog::endLog();
    return result;
}
