// The shipped menu layouts and English texts against what the screens ask of them: every widget a
// screen looks up exists in the screen's own layout and lies inside its window, and every text a
// layout or a screen shows has an English entry, and every other language translates them all.
#include "MenuFixture.h"
#include "MivoPlayerFile.h"
#include "MivoScreen.h"
#include "ShippedScreens.h"
#include "WeConfig.h"
#include "WeUIEditBox.h"
#include "WeUIMultiList.h"
#include "WeVirtualFileSystem.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{

// The texts a layout entry shows: its text field (the fourth ':' field before the first ','), or
// for a list's columns ("Title:width,..." of a "$Columns" key) each column's title.
std::vector<WeString> LayoutTexts(const WeString& key, const WeString& value)
{
    std::vector<WeString> texts;
    if (key.Find("$Columns") < 0)
        texts.push_back(value.GetToken(',', 0).GetToken(':', 3));
    else
        for (int32_t c = 0; c < value.CountTokens(','); ++c)
        {
            const WeString title = value.GetToken(',', c).GetToken(':', 0);
            texts.push_back(!title.IsEmpty() && title[0] == '#' ? title.Substring(1, title.GetLength())
                                                                : title);
        }
    return texts;
}

// "Section.Key" of every value line of an ini file, with the number of lines that set it.
std::map<std::string, int> KeyLines(const std::filesystem::path& file)
{
    std::map<std::string, int> lines;
    std::ifstream in(file);
    std::string line, section;
    while (std::getline(in, line))
    {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == ';')
            continue;
        if (line[start] == '[')
            section = line.substr(start + 1, line.find(']') - start - 1);
        else if (const size_t equals = line.find('='); equals != std::string::npos)
            ++lines[section + "." + line.substr(start, equals - start)];
    }
    return lines;
}

std::filesystem::path ConfigFolder()
{
    const char* data = std::getenv("WE_TEST_DATA");
    return std::filesystem::path(data ? data : "data") / "Packages" / "Config" / "Main";
}

using ShippedScreens = MenuFixture;

} // namespace

TEST_F(ShippedScreens, EveryWidgetAScreenLooksUpComesWithItsLayoutInsideItsWindow)
{
    for (const ShippedScreen& screen : Screens())
    {
        uiMain.LoadComponents(screen.layout);
        WeUIComponent* window = MivoFindWidget(screen.window);
        ASSERT_NE(window, nullptr) << screen.layout << ": " << screen.window;
        for (const char* name : screen.widgets)
        {
            const WeUIComponent* widget = MivoFindWidget(name);
            ASSERT_NE(widget, nullptr) << screen.layout << ": " << name;
            EXPECT_TRUE(window->Contains(widget)) << name << " must close with " << screen.window;
        }
    }
    EXPECT_NE(dynamic_cast<WeUIMultiList*>(MivoFindWidget("UsersMulti")), nullptr);
    EXPECT_NE(dynamic_cast<WeUIEditBox*>(MivoFindWidget("CreateUserNameEditBox")), nullptr);
}

// A widget with show or hide letters, and everything in it, never takes the mouse.
TEST_F(ShippedScreens, NothingAPlayerClicksCarriesTransitionLettersOnItselfOrAbove)
{
    for (const ShippedScreen& screen : Screens())
    {
        uiMain.LoadComponents(screen.layout);
        for (const char* name : screen.widgets)
            for (const WeUIComponent* c = MivoFindWidget(name); c; c = c->parent)
            {
                EXPECT_EQ(c->showFlags, 0) << name << " in " << c->name.GetData();
                EXPECT_EQ(c->hideFlags, 0) << name << " in " << c->name.GetData();
            }
    }
}

TEST_F(ShippedScreens, EveryIntroImageIsAWidgetOfTheIntroWindow)
{
    uiMain.LoadComponents("Intro");
    const WeString images = WeConfig::GetString("Mivo.Intro.Images", "");
    ASSERT_FALSE(images.IsEmpty());
    for (int32_t i = 0; !images.GetToken(',', i).IsEmpty(); ++i)
    {
        const WeUIComponent* image = MivoFindWidget(images.GetToken(',', i));
        ASSERT_NE(image, nullptr) << images.GetToken(',', i).GetData();
        EXPECT_TRUE(MivoFindWidget("IntroWindow")->Contains(image));
    }
}

// Read from the shipped file: the store also holds the keys that making components adds to it
// (a credits line reads "UI.Components.Label1$ClipChildren"), which no test can take back.
TEST_F(ShippedScreens, NoLayoutNamesAWidgetTheCreditsLinesWouldReplace)
{
    int32_t components = 0;
    for (const auto& [key, count] : KeyLines(ConfigFolder() / "UI.ini"))
    {
        if (key.rfind("Components.", 0) != 0)
            continue;
        ++components;
        const std::string name = key.substr(std::string("Components.").size());
        EXPECT_FALSE(name.size() > 5 && name.compare(0, 5, "Label") == 0 && name[5] >= '0' && name[5] <= '9')
            << key;
    }
    EXPECT_GT(components, 20);
}

TEST_F(ShippedScreens, EveryTextOfTheLayoutsAndTheScreensHasAnEnglishEntry)
{
    ASSERT_EQ(localization.GetLanguageCode(), "EN");
    WeList<WeString> keys;
    WeConfig::GetKeys("UI.Components.", keys, true);
    ASSERT_FALSE(keys.IsEmpty());
    int32_t texts = 0;
    for (const WeString& key : keys)
    {
        for (const WeString& text : LayoutTexts(key, WeConfig::GetString(key, "")))
        {
            if (text.IsEmpty() || text[0] == '%')
                continue;
            ++texts;
            EXPECT_TRUE(localization.HasKey("UI: " + text))
                << key.GetData() << ": \"UI: " << text.GetData() << "\"";
        }
    }
    EXPECT_GT(texts, 20);
    for (const char* key :
         {"UI: Exit Game", "UI: Are you sure", "UI: ControlsMenu", "UI: Player", "UI: Delete user",
          "UI: Cannot delete", "UI: User exists", "Mivo: Credits", "UI: Player file unreadable",
          "UI: Player file damaged", "UI: NET Error", "UI: Ok", "UI: WinQuest", "UI: WinSkill",
          "UI: Are you sure Skill", "UI: Are you sure lose life", "UI: Lives", "UI: Players lost",
          "UI: Players not read"})
        EXPECT_TRUE(localization.HasKey(key)) << key;
    for (int32_t i = 0; i < MivoSaveProblems::kProblemCount; ++i)
    {
        const char* key = MivoSaveProblems::MessageKey(static_cast<MivoSaveProblem>(i));
        EXPECT_TRUE(localization.HasKey(key)) << key;
    }
    for (int32_t k = 1; k <= 50; ++k)
        for (const char* part : {":Headline", ":Text"})
        {
            WeString key("Fact");
            key.AppendInt(k);
            key += part;
            EXPECT_TRUE(localization.HasKey(key)) << key.GetData();
        }
}

TEST_F(ShippedScreens, EveryOtherShippedLanguageTranslatesEveryEnglishKeyUnderANameOfItsOwn)
{
    ASSERT_GE(localization.GetLanguageCount(), 2) << "the language box offers a choice";
    const WeString prefix = "LocalizationEN.Localization.";
    WeList<WeString> english;
    WeConfig::GetKeys(prefix, english, false);
    ASSERT_GT(english.GetCount(), 600);
    for (int32_t language = 1; language < localization.GetLanguageCount(); ++language)
    {
        localization.SelectLanguage(language);
        EXPECT_NE(localization.GetLanguageName(), localization.GetLanguageCode()) << language;
        for (const WeString& key : english)
        {
            const WeString textKey = key.Substring(prefix.GetLength(), key.GetLength());
            EXPECT_TRUE(localization.HasKey(textKey))
                << localization.GetLanguageCode().GetData() << ": " << textKey.GetData();
        }
    }
    localization.SelectLanguage(0);
}

TEST_F(ShippedScreens, EveryTutorialHasItsTextItsHeadlineAndAPictureOfItsOwn)
{
    uiMain.LoadComponents("Ingame");
    const auto numbered = [](const char* prefix, int32_t k) { return WeString(prefix).AppendInt(k); };
    std::vector<std::string> names, styles;
    for (int k = 0; k <= 10; ++k)
    {
        const WeString name = WeConfig::GetString(numbered("Mivo.Tutorials.Tutorial", k), "");
        ASSERT_FALSE(name.IsEmpty()) << k;
        EXPECT_TRUE(localization.HasKey("Tutorial: " + name)) << name.GetData();
        EXPECT_TRUE(localization.HasKey("Tutorial: " + name + ".Headline")) << name.GetData();
        names.push_back(name.GetData());
        const WeUIComponent* picture = MivoFindWidget(numbered("IngameTutorialCube", k));
        ASSERT_NE(picture, nullptr) << k;
        ASSERT_NE(picture->style, nullptr) << k;
        const WeString texture = "Config.UI." + picture->style->name;
        EXPECT_TRUE(WeVirtualFileSystem::GetFileSystem()->Exists(texture, WeAssetType::Texture))
            << texture.GetData();
        styles.push_back(picture->style->name.GetData());
    }
    std::sort(names.begin(), names.end());
    std::sort(styles.begin(), styles.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(std::unique(styles.begin(), styles.end()), styles.end());
}

// A tutorial's text and each of its lines end a sentence, in every language.
TEST_F(ShippedScreens, EveryLineOfEveryTutorialEndsWithAFullStopInEveryLanguage)
{
    for (int32_t language = 0; language < localization.GetLanguageCount(); ++language)
    {
        localization.SelectLanguage(language);
        for (int32_t k = 0; k <= 10; ++k)
        {
            const WeString key =
                "Tutorial: " + WeConfig::GetString(WeString("Mivo.Tutorials.Tutorial").AppendInt(k), "");
            const std::string text = localization.Translate(key).GetData();
            ASSERT_FALSE(text.empty()) << key.GetData();
            std::istringstream lines(text);
            for (std::string line; std::getline(lines, line);)
                EXPECT_EQ(line.back(), '.')
                    << localization.GetLanguageCode().GetData() << " " << key.GetData() << ": " << line;
        }
    }
    localization.SelectLanguage(0);
}

TEST_F(ShippedScreens, ThePauseMenusControlsDescribeThePlayControls)
{
    const std::string controls = localization.Translate("UI: ControlsMenu").GetData();
    // A block moves by a press on it, a drag onto an arrow and the release there: a click on the
    // block drops the selection on its release.
    EXPECT_NE(controls.find("drag"), std::string::npos) << controls;
    EXPECT_EQ(controls.find("click an arrow"), std::string::npos) << controls;
    for (const char* control :
         {"Right mouse button", "wheel", "Page Up", "Page Down", "1 to 7", "F2", "Escape"})
        EXPECT_NE(controls.find(control), std::string::npos) << control;
}

// A ';' begins a comment anywhere on a line, so a text that holds one unescaped is cut off there.
TEST(ShippedConfiguration, NoTextOfALanguageIsCutShortByAComment)
{
    int texts = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ConfigFolder()))
    {
        if (entry.path().filename().string().rfind("Localization", 0) != 0)
            continue;
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number)
        {
            const size_t equals = line.find('=');
            if (line.empty() || line[0] == ';' || equals == std::string::npos)
                continue;
            ++texts;
            for (size_t i = equals + 1; i < line.size(); ++i)
                if (line[i] == '\\')
                    ++i;
                else
                    EXPECT_NE(line[i], ';')
                        << entry.path().filename().string() << ":" << number << ": " << line;
        }
    }
    EXPECT_GT(texts, 1000);
}

// A section may come back (each screen adds its own block of layouts), but a key set twice
// leaves the earlier line without effect.
TEST(ShippedConfiguration, NoFileSetsAKeyTwice)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ConfigFolder()))
    {
        if (entry.path().extension() != ".ini")
            continue;
        ++files;
        for (const auto& [key, count] : KeyLines(entry.path()))
            EXPECT_EQ(count, 1) << entry.path().filename().string() << ": " << key;
    }
    EXPECT_GE(files, 4);
}
