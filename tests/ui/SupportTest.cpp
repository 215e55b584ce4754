// Proves the test support helpers against real windows.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "TestSupport.h"

using namespace qovitest;

TEST(Support, AnswersMessageBoxesInOrderAndRecordsThem)
{
    ModalAnswerer answerer;
    answerer.expectBox(IDCANCEL, L"First", L"one").expectBox(IDOK, L"Second", L"two");
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, L"one", L"First", MB_OKCANCEL));
    EXPECT_EQ(IDOK, MessageBoxW(nullptr, L"two", L"Second", MB_OKCANCEL | MB_ICONERROR));
    ASSERT_EQ(2u, answerer.seen().size());
    EXPECT_TRUE(answerer.seen()[1].messageBox);
    answerer.verifyAllAnswered();
}
