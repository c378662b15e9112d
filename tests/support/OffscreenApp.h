// Offscreen application fixture for tests that use the user-interface
// run-time. Header-only so that the support library needs no Qt; the test
// folder links cadenza_ui.
//
//   class MyTest : public cz::test::OffscreenAppTest {};
//   TEST_F(MyTest, Builds) { int p = NewPanel(0, "", 0, 0, 100, 100); ... }
//
// or call cz::test::OffscreenApp() once and UiTest_Reset() per test.
#pragma once

#include <clocale>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"

namespace cz::test {

// A popup without a queued answer fails the running test with its texts.
inline void UnansweredPopupFails(const char* kind, const char* title, const char* text)
{
    ADD_FAILURE() << "unexpected " << kind << " popup without a queued answer: title \""
                  << (title ? title : "") << "\", text \"" << (text ? text : "") << "\"";
}

// Creates the offscreen QApplication once (QT_QPA_PLATFORM=offscreen unless
// already set), sets LC_NUMERIC back to "C", switches to scripted popups and
// the fake clock.
inline void OffscreenApp()
{
    static bool started = false;
    if (!started) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        InitUserInterface(0, nullptr);
        started = true;
    }
    std::setlocale(LC_NUMERIC, "C");
    UiTest_Reset();
    UiTest_SetUnansweredPopupHandler(&UnansweredPopupFails);
}

// Fails the running test for every text of the panel's controls that its
// box cannot hold whole (UiTest_ClippedTexts).
inline void ExpectTextsFit(int panel)
{
    for (const UiTest_ClippedText& t : UiTest_ClippedTexts(panel))
        ADD_FAILURE() << t.where << " \"" << t.text << "\" needs " << t.textWidth << " x " << t.textHeight
                      << ", its box holds " << t.boxWidth << " x " << t.boxHeight;
}

// Fixture: a clean run-time for every test.
class OffscreenAppTest : public ::testing::Test {
protected:
    void SetUp() override { OffscreenApp(); }
    void TearDown() override { UiTest_Reset(); }
};

} // namespace cz::test
