// When the overwrite question may offer Resume.
#include <gtest/gtest.h>

#include "engine/FTPThread.h"

TEST(ResumeOffer, OnlyForAShorterRegularFileOnAServerThatRestartsStreams)
{
    struct Case {
        bool regular;
        int64_t local, remote;
        bool restStream, binary, offered;
    };
    const Case cases[] = {
        {true, 40, 100, true, true, true},   {true, 0, 100, true, true, true},
        {true, 100, 100, true, true, false}, {true, 120, 100, true, true, false},
        {true, 40, 100, false, true, false}, {true, 40, 100, true, false, false},
        {false, 40, 100, true, true, false}, {true, 40, -1, true, true, false}, // no SIZE answer
        {true, 0, 0, true, true, false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(CanOfferResume(k.regular, k.local, k.remote, k.restStream, k.binary), k.offered)
            << k.regular << " " << k.local << " " << k.remote << " " << k.restStream << " " << k.binary;
}
