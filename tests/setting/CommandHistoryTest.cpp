// The command history of a channel on a real store: its order and limits,
// the walk with the typed text kept, and what a later run finds.

#include "CommandHistory.h"
#include "DeviceSettings.h"
#include "StoreTest.h"

using setting::CCommandHistory;
using settingtest::Put;
using settingtest::Stored;
using Commands = std::vector<std::string>;
using registry::DWORD;
using CommandHistoryTest = settingtest::CStoreTest;

const char kSnsHistory[] = "SOFTWARE\\Lunder\\Orvel4\\History\\SnsPort";

// Most recent first; a command sent twice in a row is listed once, sent
// again later it moves up; the hundred most recent are kept.
TEST_F(CommandHistoryTest, MostRecentFirstNoRepeatsInARowAHundredAtMost)
{
    CCommandHistory history("SnsPort");
    EXPECT_EQ(history.Commands(), Commands{});
    for (const char* command : {"$PORZA,0*4A", "$PSRF101", "$PSRF101", "", "$PORZA,0*4A"})
        history.Add(command);
    EXPECT_EQ(history.Commands(), (Commands{"$PORZA,0*4A", "$PSRF101", "$PORZA,0*4A"}));

    for (int i = 0; i < 120; ++i)
        history.Add("cmd " + std::to_string(i));
    ASSERT_EQ(history.Commands().size(), CCommandHistory::kMaxCommands);
    EXPECT_EQ(history.Commands().front(), "cmd 119");
    EXPECT_EQ(history.Commands().back(), "cmd 20");
}

// Up goes back, Down forward; past the most recent the typed text comes
// back, and there the walk stops; at the oldest Up gives nothing. A
// recalled command edited before moving on is the typed text from then on.
// Sending ends the walk, as does a command from elsewhere.
TEST_F(CommandHistoryTest, WalkingKeepsTheTypedText)
{
    CCommandHistory history("KksPort");
    EXPECT_EQ(history.Older("typed"), std::nullopt) << "nothing sent yet";
    for (const char* command : {"oldest", "middle", "newest"})
        history.Add(command);

    EXPECT_EQ(history.Newer("typed"), std::nullopt);
    EXPECT_EQ(history.Older("typed"), "newest");
    EXPECT_EQ(history.Older("newest"), "middle");
    EXPECT_EQ(history.Older("middle"), "oldest");
    EXPECT_EQ(history.Older("oldest"), std::nullopt);
    EXPECT_EQ(history.Newer("oldest"), "middle");
    EXPECT_EQ(history.Newer("middle"), "newest");
    EXPECT_EQ(history.Newer("newest"), "typed");
    EXPECT_EQ(history.Newer("typed"), std::nullopt);

    EXPECT_EQ(history.Older("typed more"), "newest");
    EXPECT_EQ(history.Older("newest, edited"), "middle");
    EXPECT_EQ(history.Newer("middle"), "newest");
    EXPECT_EQ(history.Newer("newest"), "newest, edited") << "the edit is kept as the typed text";

    EXPECT_EQ(history.Older(""), "newest");
    history.EndWalk();
    EXPECT_EQ(history.Older("from the catalogue"), "newest");
    history.Add("sent");
    EXPECT_EQ(history.Newer("sent"), std::nullopt) << "a send ends the walk";
    EXPECT_EQ(history.Older(""), "sent");
}

// A later run finds the channel's history in its own key beside the device
// keys, which keep only their own values; the channels do not mix. Windows-
// 1251 text is kept byte for byte; a command too long to store is in this
// run's history only.
TEST_F(CommandHistoryTest, KeptAcrossRunsInAKeyOfItsOwn)
{
    const std::string cyrillic = "\xCA\xEE\xEC\xE0\xED\xE4\xE0";  // "Команда"
    const std::string tooLong(CCommandHistory::kMaxStoredChars + 1, 'x');
    {
        setting::CSnsDeviceSetting device;
        device.Save();
        CCommandHistory sns("SnsPort");
        CCommandHistory son("SonPort");
        for (const std::string& command : {std::string("first"), tooLong, cyrillic})
            sns.Add(command);
        son.Add("depth?");
        EXPECT_EQ(sns.Commands(), (Commands{cyrillic, tooLong, "first"}));
    }
    CCommandHistory again("SnsPort");
    EXPECT_EQ(again.Commands(), (Commands{cyrillic, "first"}));
    EXPECT_EQ(CCommandHistory("SonPort").Commands(), Commands{"depth?"});
    EXPECT_EQ(CCommandHistory("KksPort").Commands(), Commands{});

    EXPECT_EQ(Stored(kSnsHistory, "Commands"), std::make_pair(DWORD(7), cyrillic + '\0' + "first" + '\0' + '\0'));
    EXPECT_EQ(Stored("SOFTWARE\\Lunder\\Orvel4\\SnsPort", "Commands").first, 0u) << "never in the device key";
    setting::CSnsDeviceSetting device;
    EXPECT_TRUE(device.Load()) << "the device key is as it was";

    again.Add("first");
    EXPECT_EQ(CCommandHistory("SnsPort").Commands(), (Commands{"first", cyrillic, "first"}));
}

// What another program or an older run left there is read under the same
// rules, and anything not a list is an empty history.
TEST_F(CommandHistoryTest, StoredValuesAreReadUnderTheSameRules)
{
    std::string many;
    for (int i = 0; i < 150; ++i)
        many += "c" + std::to_string(i / 2) + '\0';  // each twice in a row
    const struct
    {
        DWORD type;
        std::string data;
        Commands loaded;
    } kCases[] = {
        {7, std::string("a\0b\0\0", 5), {"a", "b"}},
        {7, std::string("a\0b", 3), {"a", "b"}},
        {7, std::string("a\0\0b\0\0", 6), {"a"}},
        {7, std::string("", 0), {}},
        {7, many + '\0', {}},
        {1, std::string("a\0", 2), {}},
        {3, std::string("a\0b\0\0", 5), {}},
    };
    for (const auto& c : kCases) {
        Put(kSnsHistory, "Commands", c.type, c.data);
        const CCommandHistory history("SnsPort");
        if (c.data == many + '\0') {
            ASSERT_EQ(history.Commands().size(), 75u);
            EXPECT_EQ(history.Commands().back(), "c74");
        } else {
            EXPECT_EQ(history.Commands(), c.loaded) << c.type << " " << c.data.size();
        }
    }
}
