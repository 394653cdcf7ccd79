// Start-up of the main window: what the panels show and what is stored,
// from the settings store and the serial ports present.

#include "WindowTestSupport.h"

#include <Resource.h>

#include <gtest/gtest.h>

using namespace windowtest;

TEST(WindowStart, EmptyStoreShowsTheDefaultsAndStoresThemBeforeShowing)
{
    Stores stores;
    auto dlg = MakeWindow();
    ASSERT_FALSE(dlg->isVisible());

    const char* const devices[] = {"SnsPort", "KksPort", "SonPort"};
    const char* const names[] = {"COM3", "COM4", "COM1"};
    const registry::DWORD rates[] = {115200, 4800, 115200};
    const int baud[] = {IDC_SNS_BAUD, IDC_KKS_BAUD, IDC_SON_BAUD};
    const int port[] = {IDC_SNS_PORT, IDC_KKS_PORT, IDC_SON_PORT};
    const int enable[] = {IDC_SNS_ENABLE, IDC_KKS_ENABLE, IDC_SON_ENABLE};
    for (int ch = 0; ch < 3; ++ch) {
        SCOPED_TRACE(ch);
        EXPECT_EQ(StoredText(devices[ch]), names[ch]);
        EXPECT_EQ(StoredBaud(devices[ch]), rates[ch]);
        EXPECT_EQ(StoredEnabled(devices[ch]), 1u);
        EXPECT_EQ(Text(*dlg, baud[ch]), QString::number(rates[ch]));
        EXPECT_EQ(Items(*dlg, baud[ch]).size(), 15);
        EXPECT_TRUE(Items(*dlg, port[ch]).isEmpty());
        EXPECT_EQ(Selection(*dlg, port[ch]), -1);
        EXPECT_EQ(dlg->IsDlgButtonChecked(enable[ch]), ui::BST_CHECKED);
    }
    // Ready: Open active, Close, Send and Send File greyed.
    EXPECT_TRUE(Enabled(*dlg, IDC_KKS_OPEN));
    EXPECT_FALSE(Enabled(*dlg, IDC_KKS_CLOSE));
    EXPECT_FALSE(Enabled(*dlg, IDC_KKS_SEND));
    EXPECT_FALSE(Enabled(*dlg, IDC_KKS_SEND_FILE));
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
    // Loaded values are shown and written back unchanged.
    EXPECT_EQ(Text(*dlg, IDC_SON_BAUD), "9600");
    EXPECT_EQ(StoredBaud("SonPort"), 9600u);
}

TEST(WindowStart, PortListSortsWithoutCaseAndFindsTheSavedNameByPrefix)
{
    Stores stores({"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyS1", "/run/ports/Beacon", "/run/ports/alpha"});
    SeedDevice("SnsPort", "/dev/ttyS1", 4800, 1);    // exact name
    SeedDevice("KksPort", "/RUN/PORTS/B", 4800, 1);  // prefix, other case
    SeedDevice("SonPort", "/dev/ttyUSB7", 4800, 1);  // not present
    auto dlg = MakeWindow();

    const QStringList sorted = {"/dev/ttyS1", "/dev/ttyS10", "/dev/ttyS2", "/run/ports/alpha", "/run/ports/Beacon"};
    EXPECT_EQ(Items(*dlg, IDC_SON_PORT), sorted);
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT), "/dev/ttyS1");
    EXPECT_EQ(Text(*dlg, IDC_KKS_PORT), "/run/ports/Beacon");
    EXPECT_EQ(Selection(*dlg, IDC_SON_PORT), 0);
    EXPECT_EQ(StoredText("SonPort"), "/dev/ttyUSB7");  // changed only by Open
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
    SeedDevice("SnsPort", "COM3", 1, 1);       // begins 110 and 1200: 1200 comes first
    SeedDevice("KksPort", "COM4", 110, 1);     // found after the wrap
    SeedDevice("SonPort", "COM1", 250000, 1);  // not offered: the first entry
    auto dlg = MakeWindow();
    EXPECT_EQ(Text(*dlg, IDC_SNS_BAUD), "1200");
    EXPECT_EQ(Selection(*dlg, IDC_KKS_BAUD), 0);
    EXPECT_EQ(Selection(*dlg, IDC_SON_BAUD), 0);
    EXPECT_EQ(StoredBaud("SonPort"), 250000u);
}
