#include "platform/device_profile.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceProfile, EmptyTextKeepsTheAlwaysOnlineDefault)
{
    DeviceProfile profile;
    std::string error;
    ASSERT_TRUE(ParseDeviceProfile("", profile, error));
    ASSERT_TRUE(ParseDeviceProfile("# only a comment\r\n\r\n", profile, error));
    EXPECT_EQ(profile.destinations, 1);
    EXPECT_FALSE(profile.mappingFails);
    EXPECT_EQ(profile.testAnswer, DeviceProfile::TestAnswer::Status);
    EXPECT_EQ(profile.testStatus, 0x10u);
    ASSERT_EQ(profile.attempts.size(), 1u);
    ASSERT_EQ(profile.attempts[0].steps.size(), 1u);
    EXPECT_EQ(profile.attempts[0].steps[0].status, 0x10u);
    EXPECT_TRUE(profile.dialups.empty());
}

TEST(DeviceProfile, ReadsEveryKey)
{
    const char* text = "destinations = 3\r\n"
                       "map=fail  # the URL maps nowhere\n"
                       "query=1\n"
                       "test=0x23\n"
                       "connect=0x40@100, 0x21@50 ; fail; 16\n"
                       "dialup=connected, listed, nohandle, 2*0x1000\n"
                       "dialup_follows=yes\n";
    DeviceProfile profile;
    std::string error;
    ASSERT_TRUE(ParseDeviceProfile(text, profile, error)) << error;
    EXPECT_EQ(profile.destinations, 3);
    EXPECT_TRUE(profile.mappingFails);
    EXPECT_TRUE(profile.statusQueryFails);
    EXPECT_TRUE(profile.dialupFollowsConnection);
    EXPECT_EQ(profile.testStatus, 0x23u);
    ASSERT_EQ(profile.attempts.size(), 3u);
    ASSERT_EQ(profile.attempts[0].steps.size(), 2u);
    EXPECT_EQ(profile.attempts[0].steps[0].delayMs, 100u);
    EXPECT_EQ(profile.attempts[0].steps[0].status, 0x40u);
    EXPECT_EQ(profile.attempts[0].steps[1].delayMs, 50u);
    EXPECT_EQ(profile.attempts[0].steps[1].status, 0x21u);
    EXPECT_TRUE(profile.attempts[1].refused);
    EXPECT_EQ(profile.attempts[2].steps[0].delayMs, 0u);
    EXPECT_EQ(profile.attempts[2].steps[0].status, 16u);
    ASSERT_EQ(profile.dialups.size(), 5u);
    EXPECT_EQ(profile.dialups[0].state, 0x2000u);
    EXPECT_NE(profile.dialups[1].state, 0x2000u);
    EXPECT_FALSE(profile.dialups[2].hasHandle);
    EXPECT_EQ(profile.dialups[4].state, 0x1000u);
}

TEST(DeviceProfile, ShortForms)
{
    DeviceProfile profile;
    std::string error;
    ASSERT_TRUE(ParseDeviceProfile("test=timeout\ndialup=101*connected", profile, error));
    EXPECT_EQ(profile.testAnswer, DeviceProfile::TestAnswer::Timeout);
    EXPECT_EQ(profile.dialups.size(), 101u);
    ASSERT_TRUE(ParseDeviceProfile("test=fail\ndialup=", profile, error));
    EXPECT_EQ(profile.testAnswer, DeviceProfile::TestAnswer::Refused);
    EXPECT_TRUE(profile.dialups.empty());
}

TEST(DeviceProfile, MalformedLinesAreRejectedWithTheirNumber)
{
    const char* bad[] = {
        "destinations=-1", "destinations=many",   "map=perhaps",      "test=",
        "connect=0x10@",   "connect=@5",          "dialup=up",        "dialup=99999*connected",
        "unknown=1",       "no equals sign here", "test=0x1ffffffff", "connect=0x10@1x",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        DeviceProfile profile;
        std::string error;
        EXPECT_FALSE(ParseDeviceProfile(std::string("destinations=1\n") + text, profile, error));
        EXPECT_EQ(error.rfind("line 2", 0), 0u) << error;
    }
}

TEST(DeviceProfile, FailingPeerKeys)
{
    DeviceProfile profile;
    std::string error;
    ASSERT_TRUE(ParseDeviceProfile("hangup=never\nblock = establish @ 5\ncache_time=300", profile, error)) << error;
    EXPECT_EQ(profile.hangUp, DeviceProfile::HangUp::Never);
    EXPECT_EQ(profile.blockingCall, DeviceProfile::Call::Establish);
    EXPECT_EQ(profile.blockMs, 5u);
    EXPECT_EQ(profile.cacheTimeMs, 300u);
    for (const char* bad : {"hangup=later", "block=status@5", "block=release", "block=release@", "cache_time=-1"}) {
        EXPECT_FALSE(ParseDeviceProfile(bad, profile, error)) << bad;
    }
}

} // namespace
