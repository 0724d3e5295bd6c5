// The window layer's settings store: HKEY_CURRENT_USER\Software\<company>\<program>, one key a
// section, numbers as REG_DWORD and texts as REG_SZ. The rest of the layer (message routing,
// data exchange, property sheets, the prompter) is what every window of the other test programs
// stands on.
#include "core/reghelpers.h"
#include "framework/settings.h"
#include "kit.h"

#include <gtest/gtest.h>

TEST(SettingsStore, NumbersAndTextsAreKeptApart) {
    EXPECT_EQ("Software\\Kelvo Utils\\Kelvo Utils", SettingsKeyPath());
    kit::ScratchSettings scratch;
    EXPECT_EQ("dflt", ReadSettingString("Settings", "x", "dflt"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, SettingsKeyPath() + "\\Settings")) << "reading creates nothing";
    WriteSettingInt("Settings", "x", -120);
    WriteSettingString("Settings", "Long", std::string(5000, 'q'));
    EXPECT_EQ(-120, ReadSettingInt("Settings", "x", 0));
    EXPECT_EQ(std::string(5000, 'q'), ReadSettingString("Settings", "Long", ""));
    EXPECT_EQ(9, ReadSettingInt("Settings", "Long", 9)) << "a text read as a number: the default";
    EXPECT_EQ("none", ReadSettingString("Settings", "x", "none")) << "a number read as a text: the default";
}
