// Start-up of the main window: what the three panels show, and what is
// stored, from the settings store and the serial ports present.

#include "WindowTestSupport.h"

#include <Resource.h>

#include <gtest/gtest.h>

using namespace windowtest;

namespace {

const char* const kDevices[] = {"SnsPort", "KksPort", "SonPort"};
const int kEnable[] = {IDC_SNS_ENABLE, IDC_KKS_ENABLE, IDC_SON_ENABLE};
const int kOpen[] = {IDC_SNS_OPEN, IDC_KKS_OPEN, IDC_SON_OPEN};
const int kClose[] = {IDC_SNS_CLOSE, IDC_KKS_CLOSE, IDC_SON_CLOSE};
const int kSend[] = {IDC_SNS_SEND, IDC_KKS_SEND, IDC_SON_SEND};
const int kSendFile[] = {IDC_SNS_SEND_FILE, IDC_KKS_SEND_FILE, IDC_SON_SEND_FILE};
const int kPort[] = {IDC_SNS_PORT, IDC_KKS_PORT, IDC_SON_PORT};
const int kBaud[] = {IDC_SNS_BAUD, IDC_KKS_BAUD, IDC_SON_BAUD};

} // namespace

TEST(WindowStart, EmptyStoreShowsTheDefaultsAndStoresAllNineValuesBeforeShowing)
{
    Stores stores;
    auto dlg = MakeWindow();
    ASSERT_FALSE(dlg->isVisible());

    // Stored by the initialisation, before the window is shown.
    EXPECT_EQ(StoredText("SnsPort"), "COM3");
    EXPECT_EQ(StoredBaud("SnsPort"), 115200u);
    EXPECT_EQ(StoredText("KksPort"), "COM4");
    EXPECT_EQ(StoredBaud("KksPort"), 4800u);
    EXPECT_EQ(StoredText("SonPort"), "COM1");
    EXPECT_EQ(StoredBaud("SonPort"), 115200u);
    for (int ch = 0; ch < 3; ++ch) {
        SCOPED_TRACE(kDevices[ch]);
        EXPECT_EQ(StoredEnabled(kDevices[ch]), 1u);
        EXPECT_EQ(StoredValueCount(kDevices[ch]), 3);
    }

    // Shown: no ports, the default rates, every channel Ready.
    EXPECT_EQ(Text(*dlg, IDC_SNS_BAUD), "115200");
    EXPECT_EQ(Text(*dlg, IDC_KKS_BAUD), "4800");
    EXPECT_EQ(Text(*dlg, IDC_SON_BAUD), "115200");
    for (int ch = 0; ch < 3; ++ch) {
        SCOPED_TRACE(ch);
        EXPECT_TRUE(Items(*dlg, kPort[ch]).isEmpty());
        EXPECT_EQ(Selection(*dlg, kPort[ch]), -1);
        EXPECT_EQ(Items(*dlg, kBaud[ch]).size(), 15);
        EXPECT_EQ(dlg->IsDlgButtonChecked(kEnable[ch]), ui::BST_CHECKED);
        EXPECT_TRUE(Enabled(*dlg, kEnable[ch]));
        EXPECT_TRUE(Enabled(*dlg, kOpen[ch]));
        EXPECT_FALSE(Enabled(*dlg, kClose[ch]));
        EXPECT_FALSE(Enabled(*dlg, kSend[ch]));
        EXPECT_FALSE(Enabled(*dlg, kSendFile[ch]));
    }
}

TEST(WindowStart, EnabledFlagSetsTheBoxAndIsStoredAsZeroOrOne)
{
    Stores stores;
    SeedDevice("SnsPort", "COM3", 115200, 0);
    SeedDevice("KksPort", "COM4", 4800, 7);
    SeedDevice("SonPort", "COM1", 9600, 1);
    auto dlg = MakeWindow();

    EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_SNS_ENABLE), ui::BST_UNCHECKED);
    EXPECT_FALSE(Enabled(*dlg, IDC_SNS_OPEN));
    EXPECT_EQ(StoredEnabled("SnsPort"), 0u);

    EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_KKS_ENABLE), ui::BST_CHECKED);
    EXPECT_TRUE(Enabled(*dlg, IDC_KKS_OPEN));
    EXPECT_EQ(StoredEnabled("KksPort"), 1u);

    // Loaded values are written back unchanged.
    EXPECT_EQ(StoredText("SonPort"), "COM1");
    EXPECT_EQ(StoredBaud("SonPort"), 9600u);
    EXPECT_EQ(Text(*dlg, IDC_SON_BAUD), "9600");
}

TEST(WindowStart, PortListIsSortedWithoutCaseAndTheSavedNameFoundByPrefix)
{
    Stores stores({"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyS1", "/run/ports/Beacon", "/run/ports/alpha"});
    SeedDevice("SnsPort", "/dev/ttyS1", 4800, 1);       // exact name
    SeedDevice("KksPort", "/RUN/PORTS/B", 4800, 1);     // prefix, other case
    SeedDevice("SonPort", "/dev/ttyUSB7", 4800, 1);     // not present
    auto dlg = MakeWindow();

    const QStringList sorted = {"/dev/ttyS1", "/dev/ttyS10", "/dev/ttyS2", "/run/ports/alpha",
                                "/run/ports/Beacon"};
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_EQ(Items(*dlg, kPort[ch]), sorted) << ch;

    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT), "/dev/ttyS1");
    EXPECT_EQ(Text(*dlg, IDC_KKS_PORT), "/run/ports/Beacon");
    EXPECT_EQ(Selection(*dlg, IDC_SON_PORT), 0);
    // The stored name stays as it was until Open.
    EXPECT_EQ(StoredText("SonPort"), "/dev/ttyUSB7");
}

TEST(WindowStart, SavedNameThatOnlyBeginsALongerOneSelectsIt)
{
    Stores stores({"/dev/ttyS10", "/dev/ttyS2"});
    SeedDevice("SnsPort", "/dev/ttyS1", 4800, 1);
    auto dlg = MakeWindow();
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT), "/dev/ttyS10");
}

TEST(WindowStart, BaudSearchStartsAfterTheFirstEntryAndWrapsToItLast)
{
    Stores stores;
    SeedDevice("SnsPort", "COM3", 4800, 1);
    SeedDevice("KksPort", "COM4", 110, 1);     // entry 0, found after the wrap
    SeedDevice("SonPort", "COM1", 250000, 1);  // not offered: entry 0
    auto dlg = MakeWindow();
    EXPECT_EQ(Text(*dlg, IDC_SNS_BAUD), "4800");
    EXPECT_EQ(Text(*dlg, IDC_KKS_BAUD), "110");
    EXPECT_EQ(Selection(*dlg, IDC_KKS_BAUD), 0);
    EXPECT_EQ(Text(*dlg, IDC_SON_BAUD), "110");
    EXPECT_EQ(StoredBaud("SonPort"), 250000u);
}

TEST(WindowStart, BaudPrefixMatchPrefersLaterEntriesOverEntryZero)
{
    // "1" begins 110 (entry 0) and 1200 (entry 3): the search from entry 1
    // finds 1200 first.
    Stores stores;
    SeedDevice("SnsPort", "COM3", 1, 1);
    auto dlg = MakeWindow();
    EXPECT_EQ(Text(*dlg, IDC_SNS_BAUD), "1200");
}
