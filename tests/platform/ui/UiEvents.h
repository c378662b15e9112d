// Event recorder shared by the run-time's tests: a control callback that
// keeps every event it gets, and a fixture with one displayed panel.
#pragma once

#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"
#include "tests/support/OffscreenApp.h"

namespace cz::test {

struct RecordedEvent {
    int panel, control, event, data1, data2;
};

inline std::vector<RecordedEvent>& Recorded()
{
    static std::vector<RecordedEvent> events;
    return events;
}

// What the recording callback returns (a tree's refusal, a swallowed click).
inline int& RecorderAnswer()
{
    static int answer = 0;
    return answer;
}

inline int RecordCb(int panel, int control, int event, void*, int d1, int d2)
{
    Recorded().push_back({panel, control, event, d1, d2});
    return RecorderAnswer();
}

inline int CountOf(int event)
{
    int n = 0;
    for (const RecordedEvent& e : Recorded()) n += e.event == event;
    return n;
}

// The last recorded event of a kind; event EVENT_NONE when there is none.
inline RecordedEvent LastOf(int event)
{
    for (auto it = Recorded().rbegin(); it != Recorded().rend(); ++it)
        if (it->event == event) return *it;
    return RecordedEvent{0, 0, EVENT_NONE, 0, 0};
}

class UiPanelTest : public OffscreenAppTest {
protected:
    void SetUp() override
    {
        OffscreenAppTest::SetUp();
        Recorded().clear();
        RecorderAnswer() = 0;
        panel = NewPanel(0, "Test", 20, 20, 400, 600);
        ASSERT_GT(panel, 0);
        ASSERT_EQ(0, DisplayPanel(panel));
    }
    // A control with the recording callback, in hot mode when it takes input.
    int Make(int kind, const char* label = "", int top = 10, int left = 10)
    {
        int id = NewCtrl(panel, kind, label, top, left);
        EXPECT_GT(id, 0);
        EXPECT_EQ(0, InstallCtrlCallback(panel, id, RecordCb, nullptr));
        return id;
    }
    int panel = 0;
};

} // namespace cz::test
