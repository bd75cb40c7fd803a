// Error boxes one at a time without losing a text: the queue every front end shows them through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base/error_queue.h"

namespace zelto {
namespace {

// Records the boxes opened; the test closes them.
class RecordingBox : public ErrorBox {
public:
    std::vector<std::string> shown;
    void ShowBox(const std::string& text) override { shown.push_back(text); }
};

TEST(ErrorQueue, ShowsAtOnceWhenNoBoxIsOpen) {
    RecordingBox box;
    ErrorQueue queue(box);
    queue.Report("Range check error");
    EXPECT_EQ(box.shown, std::vector<std::string>{"Range check error"});
    EXPECT_EQ(queue.Showing(), "Range check error");
    EXPECT_TRUE(queue.Waiting().empty());
}

TEST(ErrorQueue, LaterTextsWaitAndFollowOneAfterTheOther) {
    RecordingBox box;
    ErrorQueue queue(box);
    queue.Report("'abc' is not a valid integer value");
    queue.Report("Unable to write to /w/UPSZelto.ini");
    queue.Report("Range check error");
    EXPECT_EQ(box.shown.size(), 1u) << "a second box while one is open";

    queue.BoxClosed();
    EXPECT_EQ(box.shown, (std::vector<std::string>{"'abc' is not a valid integer value",
                                                   "Unable to write to /w/UPSZelto.ini"}));
    queue.BoxClosed();
    EXPECT_EQ(box.shown.back(), "Range check error");
    queue.BoxClosed();
    EXPECT_EQ(box.shown.size(), 3u);
    EXPECT_FALSE(queue.Showing().has_value());

    // With the queue empty and no box open, the next text shows at once.
    queue.Report("Integer overflow");
    EXPECT_EQ(box.shown.back(), "Integer overflow");
}

TEST(ErrorQueue, ATextShowingOrWaitingIsNotQueuedTwice) {
    RecordingBox box;
    ErrorQueue queue(box);
    for (int tick = 0; tick < 5; ++tick) {
        queue.Report("Range check error");
        queue.Report("'1.' is not a valid integer value");
    }
    EXPECT_EQ(queue.Waiting().size(), 1u);
    queue.BoxClosed();
    queue.BoxClosed();
    EXPECT_EQ(box.shown,
              (std::vector<std::string>{"Range check error", "'1.' is not a valid integer value"}));
    // Once closed, the same text may come again.
    queue.Report("Range check error");
    EXPECT_EQ(box.shown.size(), 3u);
}

TEST(ErrorQueue, TheQueueIsBoundedAndKeepsTheOldest) {
    RecordingBox box;
    ErrorQueue queue(box);
    queue.Report("open");
    for (int i = 0; i < 20; ++i) {
        queue.Report("text " + std::to_string(i));
    }
    ASSERT_EQ(queue.Waiting().size(), 8u);
    EXPECT_EQ(queue.Waiting().front(), "text 0");
    EXPECT_EQ(queue.Waiting().back(), "text 7");
    for (int i = 0; i < 10; ++i) {
        queue.BoxClosed();
    }
    EXPECT_EQ(box.shown.size(), 9u);
    EXPECT_EQ(box.shown.back(), "text 7");
}

}  // namespace
}  // namespace zelto
