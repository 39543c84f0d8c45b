// The termios backend's reading of marked input: data bytes, line errors and breaks.
#include <gtest/gtest.h>

#include "platform/marked_input.h"

namespace dmm::platform {
namespace {

using Queue = std::deque<uint8_t>;

TEST(MarkedInput, MarksBecomeCountsAndTheDataStays) {
    MarkedInputDecoder decoder;
    Queue out;
    // 'A', an escaped 0xFF, 'B' with a line error, a break, 'C'.
    const uint8_t in[] = {'A', 0xFF, 0xFF, 0xFF, 0x00, 'B', 0xFF, 0x00, 0x00, 'C'};
    const auto marks = decoder.Feed(in, sizeof in, out);
    EXPECT_EQ(out, (Queue{'A', 0xFF, 'B', 'C'}));
    EXPECT_EQ(marks.errors, 1u);
    EXPECT_EQ(marks.breaks, 1u);
}

TEST(MarkedInput, AMarkCutBetweenTwoReadsIsFinishedByTheNext) {
    MarkedInputDecoder decoder;
    Queue out;
    const uint8_t first[] = {'x', 0xFF};
    const uint8_t second[] = {0x00};
    const uint8_t third[] = {'y', 0xFF};
    const uint8_t fourth[] = {0xFF};
    EXPECT_EQ(decoder.Feed(first, 2, out).errors, 0u);
    EXPECT_EQ(decoder.Feed(second, 1, out).errors, 0u);
    EXPECT_EQ(decoder.Feed(third, 2, out).errors, 1u);  // 'y' came with the error
    EXPECT_EQ(decoder.Feed(fourth, 1, out).errors, 0u);
    EXPECT_EQ(out, (Queue{'x', 'y', 0xFF}));
}

TEST(MarkedInput, AnEscapeThatIsNoMarkKeepsBothBytes) {
    MarkedInputDecoder decoder;
    Queue out;
    const uint8_t in[] = {0xFF, 'z'};
    const auto marks = decoder.Feed(in, 2, out);
    EXPECT_EQ(out, (Queue{0xFF, 'z'}));
    EXPECT_EQ(marks.errors + marks.breaks, 0u);
}

}  // namespace
}  // namespace dmm::platform
