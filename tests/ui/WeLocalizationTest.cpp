#include "WeLocalization.h"
#include "WeConfig.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

void Load(const std::string& name, const std::string& text)
{
    WeConfig::LoadText(name.c_str(), text.data(), text.size());
}

} // namespace

TEST(Localization, TheListStopsAtItsFirstEmptyField)
{
    Load("build", "[Options]\nLanguages=LA,LB,,LC\n");
    Load("LocalizationLA", "[Localization]\n<LANGUAGE NAME>=Alpha\nUI: Play=Igraj\nUI: A.B=dots\n");
    WeLocalization loc;
    loc.LoadAll();
    EXPECT_EQ(loc.GetLanguageCount(), 2);
    EXPECT_STREQ(loc.GetLanguageName().GetData(), "Alpha");
    EXPECT_STREQ(loc.Translate("UI: Play").GetData(), "Igraj");
    EXPECT_STREQ(loc.Translate("UI: A.B").GetData(), "dots");
    loc.SelectLanguage(1);
    EXPECT_STREQ(loc.GetLanguageName().GetData(), "LB"); // no file: named by its code
    loc.SelectLanguage(-1);
    EXPECT_STREQ(loc.GetLanguageCode().GetData(), "LA");
    loc.SelectLanguageByName("LB");
    EXPECT_EQ(loc.currentIndex, 1);
    WeList<WeString> names;
    loc.GetLanguageNames(names);
    EXPECT_EQ(names.GetCount(), 2);
    // A new pass of the run loop loads them once again, not twice.
    loc.LoadAll();
    EXPECT_EQ(loc.GetLanguageCount(), 2);
    Load("build", "[Options]\nLanguages=EN\n");
}

TEST(Localization, AMissedKeyTranslatesToItselfWithoutBecomingPresent)
{
    Load("build", "[Options]\nLanguages=LA\n");
    WeLocalization loc;
    loc.LoadAll();
    EXPECT_FALSE(loc.HasKey("UI: Nothing"));
    const WeString& first = loc.Translate("UI: Nothing");
    EXPECT_STREQ(first.GetData(), "UI: Nothing");
    EXPECT_FALSE(loc.HasKey("UI: Nothing"));
    EXPECT_EQ(&loc.Translate("UI: Nothing"), &first); // a stable reference
    Load("build", "[Options]\nLanguages=EN\n");
}

TEST(Localization, WithoutAnyLanguageListOneDefaultLanguage)
{
    Load("build", "[Options]\nLanguages=\nLanguage=\n");
    WeLocalization empty;
    EXPECT_TRUE(empty.Translate("x").IsEmpty());
    EXPECT_FALSE(empty.HasKey("x"));
    empty.LoadAll();
    EXPECT_EQ(empty.GetLanguageCount(), 1);
    EXPECT_STREQ(empty.GetLanguageName().GetData(), "Default");
    EXPECT_TRUE(empty.GetLanguageCode().IsEmpty());
}
