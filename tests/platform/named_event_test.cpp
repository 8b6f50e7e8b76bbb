// Named manual-reset events: every object of one name sees one state.
#include "platform/named_event.h"

#include <gtest/gtest.h>

#include <memory>

namespace qm {
namespace {

TEST(NamedEventTest, ObjectsOfOneNameShareOneManualResetState) {
    NamedEvent a("QuillmereTestEventShared");
    NamedEvent b("QuillmereTestEventShared");
    NamedEvent other("QuillmereTestEventOther");
    EXPECT_FALSE(a.IsSignalled()) << "created unsignalled";
    a.Set();
    EXPECT_TRUE(b.IsSignalled());
    EXPECT_TRUE(b.IsSignalled()) << "manual reset: a wait does not clear it";
    EXPECT_FALSE(other.IsSignalled());
    b.Reset();
    EXPECT_FALSE(a.IsSignalled());
    {
        NamedEvent late("QuillmereTestEventShared");
        late.Set();
    }
    EXPECT_TRUE(a.IsSignalled()) << "state outlives the object that set it";
    EXPECT_TRUE(a.IsSignalledNow());
    a.Reset();
    EXPECT_FALSE(b.IsSignalled()) << "a reset in this process is seen at once";
    EXPECT_FALSE(b.IsSignalledNow());
}

TEST(NamedEventTest, StateSetThroughAnObjectClosedAtOnceIsSeenByALaterOpener) {
    NamedEvent("QuillmereTestEventLater").Set();
    EXPECT_TRUE(NamedEvent("QuillmereTestEventLater").IsSignalled());
    auto first = std::make_unique<NamedEvent>("QuillmereTestEventLater");
    first->Reset();
    first.reset();
    EXPECT_FALSE(NamedEvent("QuillmereTestEventLater").IsSignalled());
    // The abort event as the result window sets it after a stopped run.
    { NamedEvent(kAbortedEventName).Set(); }
    NamedEvent later(kAbortedEventName);
    EXPECT_TRUE(later.IsSignalled());
    later.Reset();
}

}  // namespace
}  // namespace qm
