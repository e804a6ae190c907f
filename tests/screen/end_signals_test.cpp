#include "runtime/screen/end_signals.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

// A window system that goes while a frame is on its way out: the frame's
// write fails, and the game lives on to say that its display has gone.
TEST(EndSignals, AWriteToAConnectionWhoseOtherEndHasGoneFailsInsteadOfEndingTheProgram)
{
    EndSignals signals;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    close(ends[1]);
    EXPECT_EQ(write(ends[0], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(ends[0]);
}

}  // namespace
}  // namespace pellavin::screen
