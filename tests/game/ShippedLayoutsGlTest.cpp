// Every shipped screen laid out by the UI manager with the real fonts at 4:3, 5:4, 16:10 and 16:9,
// in every shipped language, with the longest texts the game writes into it: no text leaves the
// screen, its widget or the frame it is drawn in, crosses the edge of another window, or covers
// another text (unless an opaque frame drawn later hides both).
#include "../render/GlFrameFixture.h"
#include "MivoScreen.h"
#include "MivoUsersPhase.h"
#include "ShippedScreens.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeLocalization.h"
#include "WeTexture.h"
#include "WeUIMain.h"
#include "WeUIMultiList.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace
{

// Right and bottom exclusive; empty when right <= left or bottom <= top.
WeUIRect Rect(int32_t x, int32_t y, int32_t w, int32_t h)
{
    return {x, y, x + w, y + h};
}

bool IsEmpty(const WeUIRect& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

WeUIRect Intersection(const WeUIRect& a, const WeUIRect& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

WeUIRect Union(const WeUIRect& a, const WeUIRect& b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

bool Inside(const WeUIRect& inner, const WeUIRect& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

WeUIRect RectOf(const WeUIComponent& c)
{
    return Rect(c.x, c.y, c.w, c.h);
}

std::string Describe(const WeUIRect& r)
{
    std::ostringstream out;
    out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
    return out.str();
}

// A text as the canvas lays it out: where its glyphs fall, and with its shadow or outline.
struct DrawnText
{
    WeString text;
    WeUIRect frame;  // the box it was laid into
    WeUIRect glyphs; // clipped by the scissor
    WeUIRect inked;  // the glyphs with their shadow or outline, clipped by the scissor
    int32_t order = 0;
    const WeUIComponent* owner = nullptr;
};

// Quads drawn one after another between two flushes, all opaque or all not (a frame's nine
// pieces), as one rectangle with the corner of its first quad.
struct QuadRun
{
    WeUIRect rect;
    int32_t firstLeft = 0, firstTop = 0;
    bool opaque = false;
    int32_t order = 0;
};

// The device painter with its fonts and textures, but drawing nothing: it keeps, in order, every
// text it is asked for with where its glyphs ink, and the runs of quads, and follows the scissor.
class LayoutRecorder : public WeUIDevicePainter
{
public:
    void DrawRectangle(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t, WeTexture*,
                       int32_t blend) override
    {
        Quad(Rect(x, y, w, h), blend);
    }
    void DrawRectanglePart(int32_t x, int32_t y, int32_t w, int32_t h, float, float, float, float, uint32_t,
                           WeTexture*, int32_t blend) override
    {
        Quad(Rect(x, y, w, h), blend);
    }
    void DrawRectangleRotated(float, float, float, float, float, uint32_t, WeTexture*, int32_t) override
    {
        runOpen = false;
    }
    void DrawRectanglePartD3D(int32_t, int32_t, int32_t, int32_t, float, float, float, float, uint32_t,
                              d3d9::BaseTexture*, int32_t) override
    {
        runOpen = false;
    }
    void DrawText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t,
                  uint32_t, int32_t flags, int32_t effect) override
    {
        runOpen = false;
        if (!font || text.IsEmpty())
            return;
        WeString laidOut = text;
        WeTextSize size;
        font->MeasureAndWrapText(laidOut, size, (flags & TEXT_WORDBREAK) ? w : 0, true);
        const int32_t tw = size.width, th = size.height;
        // Placed as the font places it in its box.
        int32_t left = x, top = y;
        if (flags & TEXT_CENTER)
            left = x + static_cast<int32_t>(std::lround((w - tw) * 0.5));
        else if (flags & TEXT_RIGHT)
            left = x + w - tw;
        if (flags & TEXT_VCENTER)
            top = y + static_cast<int32_t>(std::lround((h - th) * 0.5));
        else if (flags & TEXT_BOTTOM)
            top = y + h - th;
        // Lines are as tall as the face's cells; what the glyphs ink of them is read from the page.
        const auto [inkTop, inkBottom] = InkRows(*font, laidOut);
        if (inkTop > inkBottom)
            return;
        DrawnText drawn;
        drawn.text = text;
        drawn.frame = Rect(x, y, w, h);
        drawn.glyphs = {left, top + static_cast<int32_t>(std::floor(inkTop * font->scale)), left + tw,
                        top + static_cast<int32_t>(std::ceil((inkBottom + 1) * font->scale))};
        drawn.inked = drawn.glyphs;
        if (effect == 1)
        {
            const int32_t dx = 3 * renderDevice.BackBufferWidth() / engine.settings.uiSourceWidth;
            const int32_t dy = 3 * renderDevice.BackBufferHeight() / engine.settings.uiSourceHeight;
            const WeUIRect& g = drawn.glyphs;
            drawn.inked = Union(g, {g.left + dx, g.top + dy, g.right + dx, g.bottom + dy});
        }
        else if (effect == 2)
            drawn.inked = {drawn.glyphs.left - 1, drawn.glyphs.top - 1, drawn.glyphs.right + 1,
                           drawn.glyphs.bottom + 1};
        if (scissorOn)
        {
            drawn.glyphs = Intersection(drawn.glyphs, scissor);
            drawn.inked = Intersection(drawn.inked, scissor);
        }
        drawn.order = order++;
        if (!IsEmpty(drawn.glyphs))
            texts.push_back(drawn);
    }
    void Flush() override { runOpen = false; }
    void GetScissor(bool* enabled, WeUIRect* rect) override
    {
        *enabled = scissorOn;
        *rect = scissor;
    }
    void SetScissor(bool enabled, const WeUIRect& rect) override
    {
        scissorOn = enabled;
        scissor = rect;
    }
    void Clear()
    {
        texts.clear();
        runs.clear();
        order = 0;
        runOpen = false;
        scissorOn = false;
    }

    std::vector<DrawnText> texts;
    std::vector<QuadRun> runs;

private:
    // The first and the last row of the laid-out text with ink, in raster pixels from the top of its
    // first line; first > last when nothing is inked.
    std::pair<int32_t, int32_t> InkRows(WeFont& font, const WeString& text)
    {
        int32_t first = INT32_MAX, last = INT32_MIN, line = 0;
        for (int32_t at = 0; at < text.GetLength();)
        {
            const uint32_t code = text.DecodeChar(at);
            if (code == '\n')
            {
                ++line;
                continue;
            }
            const auto [top, bottom] = GlyphInk(font, code);
            if (top > bottom)
                continue;
            first = std::min(first, line * font.lineHeight + top);
            last = std::max(last, line * font.lineHeight + bottom);
        }
        return {first, last};
    }
    // The rows of a glyph's cell that hold a texel of at least a quarter of full alpha.
    std::pair<int32_t, int32_t> GlyphInk(WeFont& font, uint32_t code)
    {
        const auto key = std::make_pair(&font, code);
        if (const auto found = inks.find(key); found != inks.end())
            return found->second;
        const std::vector<uint8_t>& alpha = Page(font);
        const WeGlyph& glyph = font.Glyph(code);
        std::pair<int32_t, int32_t> ink{INT32_MAX, INT32_MIN};
        const int32_t pageW = font.texture ? font.texture->width : 0;
        for (int32_t row = 0; glyph.Present() && row < glyph.height; ++row)
            for (int32_t column = 0; column < glyph.width; ++column)
            {
                const size_t at = size_t(glyph.pixelY + row) * size_t(pageW) + size_t(glyph.pixelX + column);
                if (at < alpha.size() && alpha[at] >= 64)
                {
                    ink.first = std::min(ink.first, row);
                    ink.second = std::max(ink.second, row);
                }
            }
        return inks[key] = ink;
    }
    // The alpha of the font's page, read once.
    const std::vector<uint8_t>& Page(WeFont& font)
    {
        std::vector<uint8_t>& alpha = pages[&font];
        void* bits = nullptr;
        int32_t bytes = 0, pitch = 0;
        if (alpha.empty() && font.texture && font.texture->Lock(&bits, &bytes, &pitch))
        {
            const int32_t pageW = font.texture->width, pageH = font.texture->height;
            alpha.resize(size_t(pageW) * size_t(pageH));
            for (int32_t y = 0; y < pageH; ++y)
            {
                const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(bits) +
                                                                    size_t(y) * size_t(pitch));
                for (int32_t x = 0; x < pageW; ++x)
                    alpha[size_t(y) * size_t(pageW) + size_t(x)] = uint8_t(row[x] >> 24);
            }
            font.texture->Unlock();
        }
        return alpha;
    }

    void Quad(const WeUIRect& rect, int32_t blend)
    {
        if (IsEmpty(rect))
            return;
        const bool opaque = blend == BLENDMODE_OPAQUE;
        const WeUIRect seen = scissorOn ? Intersection(rect, scissor) : rect;
        if (runOpen && !runs.empty() && runs.back().opaque == opaque)
            runs.back().rect = Union(runs.back().rect, seen);
        else
            runs.push_back({seen, rect.left, rect.top, opaque, order++});
        runOpen = true;
    }

    int32_t order = 0;
    bool runOpen = false;
    bool scissorOn = false;
    WeUIRect scissor;
    std::map<WeFont*, std::vector<uint8_t>> pages;
    std::map<std::pair<WeFont*, uint32_t>, std::pair<int32_t, int32_t>> inks;
};

// ---- the screens and what the game writes into them ----

using Texts = std::vector<WeString>;

// One screen as the player meets it: its layouts in the order they open (later ones lie over
// earlier ones), the widgets the game hides, groups of which one member (a set of widgets) shows at
// a time, the texts the game writes into widgets and the rows of its lists. Every state of the
// screen takes the next member of each group and the next text of each widget.
struct ScreenCase
{
    std::vector<const char*> layouts;
    std::vector<const char*> hidden;
    std::vector<std::vector<std::vector<const char*>>> groups;
    std::vector<std::pair<const char*, std::function<Texts()>>> texts;
    std::vector<std::pair<const char*, std::function<std::vector<Texts>()>>> rows;
};

WeString Tr(const WeString& key)
{
    return localization.Translate(key);
}

WeString Numbered(const char* prefix, int32_t n, const char* suffix = "")
{
    return WeString(prefix).AppendInt(n) + suffix;
}

// The translations of every key of the current language that begins with the prefix.
Texts Family(const WeString& prefix)
{
    const WeString file = "Localization" + localization.GetLanguageCode() + ".Localization.";
    WeList<WeString> keys;
    WeConfig::GetKeys(file + prefix, keys, true);
    Texts texts;
    for (const WeString& key : keys)
        texts.push_back(localization.Translate(key.Substring(file.GetLength(), key.GetLength())));
    return texts;
}

// Of the texts, the widest in the font of the style.
WeString Widest(const Texts& texts, const char* style)
{
    const WeUIStyle* s = uiMain.GetStyle(style);
    WeString widest;
    int32_t widestW = -1;
    for (const WeString& text : texts)
    {
        int32_t w = 0, h = 0;
        uiMain.painter->MeasureText(s ? s->font.font : nullptr, text, &w, &h);
        if (w > widestW)
            widestW = w, widest = text;
    }
    return widest;
}

// A player's name as long as the name box takes.
WeString LongName()
{
    return WeString(
        std::string("Wilhelmina Moorcroft").substr(0, MivoCreateUserPhase::kNameCharacters).c_str());
}

WeString LivesLabel()
{
    return LongName() + " (" + Tr("UI: Lives") + ": 3)";
}

WeString WidestMapName(const char* style)
{
    return Widest(Family("Map: "), style);
}

std::function<Texts()> Fixed(std::initializer_list<const char*> texts)
{
    Texts list;
    for (const char* text : texts)
        list.push_back(text);
    return [list] { return list; };
}

std::function<Texts()> Translated(std::initializer_list<const char*> keys)
{
    std::vector<const char*> list(keys);
    return [list]
    {
        Texts texts;
        for (const char* key : list)
            texts.push_back(Tr(key));
        return texts;
    };
}

// The tutorials' headlines or texts, in the order of "Mivo.Tutorials.Tutorial0" to 10.
std::function<Texts()> Tutorials(const char* suffix)
{
    return [suffix]
    {
        Texts texts;
        for (int32_t k = 0; k <= 10; ++k)
            texts.push_back(
                Tr("Tutorial: " + WeConfig::GetString(Numbered("Mivo.Tutorials.Tutorial", k), "") + suffix));
        return texts;
    };
}

std::function<Texts()> Facts(const char* part)
{
    return [part]
    {
        Texts texts;
        for (int32_t k = 1; k <= 50; ++k)
            texts.push_back(Tr(Numbered("Fact", k, part).GetData()));
        return texts;
    };
}

// A name kept for the whole run, so that screens can point at it.
const char* Kept(const std::string& name)
{
    static std::deque<std::string> names;
    return names.emplace_back(name).c_str();
}

std::vector<const char*> Named(const char* prefix, int32_t from, int32_t to, const char* suffix = "")
{
    std::vector<const char*> names;
    for (int32_t k = from; k <= to; ++k)
        names.push_back(Kept(prefix + std::to_string(k) + suffix));
    return names;
}

std::vector<std::vector<const char*>> OneEach(const std::vector<const char*>& names)
{
    std::vector<std::vector<const char*>> members;
    for (const char* name : names)
        members.push_back({name});
    return members;
}

ScreenCase Confirmation(const char* size, std::initializer_list<const char*> keys)
{
    const std::string window = std::string("Confirmation") + size;
    const auto part = [&window](const char* name) { return Kept(window + name); };
    ScreenCase c;
    c.layouts = {"MenuOverlay", Kept(window)};
    c.groups = {{{part("OkButton")}, {part("YesButton"), part("NoButton")}}};
    c.texts = {{part("Text"), Translated(keys)}};
    return c;
}

const std::vector<ScreenCase>& Cases()
{
    static std::vector<ScreenCase> cases;
    if (!cases.empty())
        return cases;
    const auto name = [] { return Texts{LongName()}; };
    const auto lives = [] { return Texts{LivesLabel()}; };
    ScreenCase overlay;
    overlay.texts = {{"MenuOverlayCurrentUserLabel", lives}};
    const auto over = [&overlay](std::vector<const char*> layouts)
    {
        ScreenCase c = overlay;
        layouts.insert(layouts.begin(), "MenuOverlay");
        c.layouts = layouts;
        return c;
    };

    cases.push_back({{"Intro"}, {}, {OneEach({"IntroImage1", "IntroImage2", "IntroImage3"})}, {}, {}});
    cases.push_back(over({"MenuBack", "MainMenu"}));
    cases.push_back(over({"MenuBack", "NewGame"}));
    cases.push_back(over({"MenuBack", "NewGame", "DiffQuest"}));
    cases.push_back(over({"MenuBack", "Credits"}));

    ScreenCase options = over({"MenuBack", "Options"});
    options.texts.push_back({"OptionsResolutionEdit", Fixed({"3840 x 2160"})});
    options.texts.push_back({"OptionsLanguageCombo", []
                             {
                                 Texts names;
                                 WeList<WeString> list;
                                 localization.GetLanguageNames(list);
                                 for (const WeString& n : list)
                                     names.push_back(n);
                                 return names;
                             }});
    cases.push_back(options);

    ScreenCase users = over({"MenuBack", "Users"});
    users.rows = {{"UsersMulti", [] { return std::vector<Texts>(3, Texts{LongName()}); }}};
    cases.push_back(users);
    ScreenCase create = users;
    create.layouts.push_back("CreateUser");
    create.texts.push_back({"CreateUserNameEditBox", name});
    cases.push_back(create);

    ScreenCase scores = over({"MenuBack", "HighScore"});
    scores.groups = {{{"HighScoreMultiQ"}, {"HighScoreMultiS"}, {"HighScoreMultiL", "HighScoreMultiLN"}}};
    scores.rows = {
        {"HighScoreMultiQ",
         []
         {
             const WeString difficulty =
                 Widest(Translated({"UI: Easy", "UI: Medium", "UI: Hard"})(), "MivoUsersList_Label");
             return std::vector<Texts>(3, Texts{"10", LongName(), "999999", difficulty, "300"});
         }},
        {"HighScoreMultiS",
         [] {
             return std::vector<Texts>(3, Texts{"10", LongName(), "999999", "300"});
         }},
        {"HighScoreMultiLN",
         [] { return std::vector<Texts>(3, Texts{WidestMapName("MivoUsersList_Label")}); }},
        {"HighScoreMultiL",
         [] {
             return std::vector<Texts>(3, Texts{"10", LongName(), "9999", "999", "999"});
         }},
    };
    cases.push_back(scores);

    ScreenCase practice = over({"MenuBack", "Practice"});
    practice.rows = {{"PracticeMapMulti",
                      [] { return std::vector<Texts>(3, Texts{WidestMapName("MivoUsersList_Label")}); }}};
    cases.push_back(practice);

    ScreenCase skill = over({"MenuBack", "Skill"});
    skill.texts = {{"MenuOverlayCurrentUserLabel", name},
                   {"SkillLevel", Fixed({"300 / 300"})},
                   {"SkillPoints", Fixed({"999999"})},
                   {"SkillLives", Fixed({"3"})}};
    cases.push_back(skill);

    ScreenCase quest = over({"MenuBack", "Quest"});
    quest.hidden = {"QuestCityNameLabel"};
    cases.push_back(quest);

    ScreenCase net = over({"MenuBack", "Net"});
    net.texts.push_back({"NetText", Translated({"UI: Please wait", "UI: NET Error"})});
    cases.push_back(net);

    for (ScreenCase c :
         {Confirmation("1", {"UI: Exit Game", "UI: Are you sure", "UI: Delete user", "UI: User exists"}),
          Confirmation("2", {"UI: Cannot delete"}),
          Confirmation("Medium", {"UI: Restart game to apply", "UI: Are you sure lose life",
                                  "UI: Player file unreadable", "UI: Player file damaged"}),
          Confirmation("Large", {"UI: Are you sure Quest", "UI: Are you sure Skill"}),
          Confirmation("XLarge", {"UI: ControlsMenu"})})
    {
        c.texts.push_back({"MenuOverlayCurrentUserLabel", lives});
        cases.push_back(c);
    }

    // The play: the skill mode's display with the quest's longest place and map name.
    ScreenCase play = over({"Ingame"});
    play.hidden = Named("IngameTutorialCube", 1, 10);
    play.groups = {OneEach(Named("IngameBonusCubeHint", 1, 9))};
    play.texts = {
        {"MenuOverlayCurrentUserLabel", lives},
        {"IngameMapName", []
         { return Texts{Widest(Family("City: "), "MivoHudTitle") + " - " + WidestMapName("MivoHudTitle")}; }},
        {"IngameScore", Fixed({"999999"})},
        {"IngameHiScore", Fixed({"999999"})},
        {"IngameTime", Fixed({"9999"})},
        {"IngameMoves", [] { return Texts{Tr("UI: Moves") + ": 999"}; }},
        {"IngameTutorialHeadline", Tutorials(".Headline")},
        {"IngameTutorialLabel", Tutorials("")},
    };
    for (int32_t k = 1; k <= 9; ++k)
    {
        play.texts.push_back({Named("IngameBonusCube", k, k, "Count")[0], Fixed({"x 99"})});
        play.texts.push_back({Named("IngameBonusCubeHint", k, k)[0],
                              [k] { return Texts{Tr(Numbered("Hint: BonusCube", k).GetData())}; }});
    }
    cases.push_back(play);
    ScreenCase paused = play;
    paused.layouts.insert(paused.layouts.end(), {"MenuBlackIngame", "MenuIngame"});
    // No hint under the pause menu: the mouse cannot reach the cubes.
    paused.groups.clear();
    paused.hidden.push_back("IngameTutorialWindow");
    for (const char* hint : Named("IngameBonusCubeHint", 1, 9))
        paused.hidden.push_back(hint);
    cases.push_back(paused);
    cases.push_back(over({"Loading"}));

    ScreenCase won = over({"Statistic"});
    won.hidden = Named("StatisticInfoBonusCube", 2, 9);
    won.hidden.push_back("StatisticInfoBonusCube");
    won.groups = {
        {{"StatisticCongratulationsLabel", "StatisticInfoWindow", "StatisticInfoTimeText",
          "StatisticInfoTime", "StatisticInfoMovesText", "StatisticInfoMoves", "StatisticInfoBonusCubeText",
          "StatisticInfoBonusCube1"},
         {"StatisticCongratulationsLabel", "StatisticInfoWindow", "StatisticInfoTimeText",
          "StatisticInfoTime", "StatisticInfoMovesText", "StatisticInfoMoves", "StatisticInfoLevelBonusText",
          "StatisticInfoLevelBonus"},
         {"StatisticCongratulationsLabel", "StatisticInfoWindow", "StatisticInfoLevelBonusText",
          "StatisticInfoLevelBonus"},
         {"StatisticCongratulationsLabelPractice"}},
        {{"StatisticGlobalWarmingWindow"}, {}},
        OneEach(Named("StatisticGlobalWarmingMivoAvatar0", 1, 3)),
    };
    won.texts = {{"StatisticInfoTime", Fixed({"99999"})},
                 {"StatisticInfoMoves", Fixed({"99999"})},
                 {"StatisticInfoLevelBonus", Fixed({"99999"})},
                 {"StatisticInfoTotal", Fixed({"999999"})},
                 {"StatisticGlobalWarmingHeadline", Facts(":Headline")},
                 {"StatisticGlobalWarmingText", Facts(":Text")}};
    won.texts.push_back({"MenuOverlayCurrentUserLabel", lives});
    cases.push_back(won);

    ScreenCase lost = over({"Lose"});
    lost.texts.push_back({"LoseLifesLabel", [] { return Texts{Tr("UI: Lives") + ": 3"}; }});
    cases.push_back(lost);

    ScreenCase end = over({"EndGame"});
    end.groups = {OneEach(Named("EndGameGlobalWarmingMivoAvatar0", 1, 3))};
    end.texts.push_back({"EndGameWinLoseLabel2", Translated({"UI: WinQuest", "UI: WinSkill"})});
    end.texts.push_back({"EndGameInfoTotalScore", Fixed({"999999"})});
    end.texts.push_back({"EndGameGlobalWarmingHeadline", Facts(":Headline")});
    end.texts.push_back({"EndGameGlobalWarmingText", Facts(":Text")});
    cases.push_back(end);
    return cases;
}

// ---- laying a screen out and looking at its texts ----

std::string Name(const WeUIComponent* c)
{
    return c ? std::string(c->name.GetData()) : std::string("?");
}

// The deepest shown widget with that text whose rectangle holds the centre of the box.
const WeUIComponent* OwnerOf(const WeUIComponent* c, const DrawnText& drawn)
{
    if (!c->visible)
        return nullptr;
    const WeUIComponent* found = nullptr;
    for (const WeUIComponent* child : c->children)
        if (const WeUIComponent* deeper = OwnerOf(child, drawn))
            found = deeper;
    if (found)
        return found;
    const int32_t cx = (drawn.frame.left + drawn.frame.right) / 2,
                  cy = (drawn.frame.top + drawn.frame.bottom) / 2;
    if (c->text == drawn.text && cx >= c->x && cx <= c->x + c->w && cy >= c->y && cy <= c->y + c->h)
        return c;
    return nullptr;
}

// The shown windows with a picture of their own that do not cover the whole screen.
void CollectWindows(const WeUIComponent* c, std::vector<const WeUIComponent*>& out)
{
    if (!c->visible)
        return;
    if (dynamic_cast<const WeUIWindow*>(c) && c->style && c->style->texture &&
        !(c->w >= renderDevice.BackBufferWidth() && c->h >= renderDevice.BackBufferHeight()))
        out.push_back(c);
    for (const WeUIComponent* child : c->children)
        CollectWindows(child, out);
}

// The widget's rectangle less its style's margins, as wide as a frame draws its border: the
// border holds no text.
WeUIRect InnerRect(const WeUIComponent& c)
{
    const WeUIStyle* s = c.style;
    return s ? WeUIRect{c.x + s->marginLeft, c.y + s->marginTop, c.x + c.w - s->marginRight,
                        c.y + c.h - s->marginBottom}
             : RectOf(c);
}

// The nearest widget above c that draws a picture of its own, or null.
const WeUIComponent* FrameOf(const WeUIComponent* c)
{
    for (const WeUIComponent* p = c->parent; p && p->parent; p = p->parent)
        if (p->style && p->style->texture)
            return p;
    return nullptr;
}

// True when an opaque run drawn after `after` (and before `before`) covers the area.
bool Covered(const WeUIRect& area, int32_t after, const std::vector<QuadRun>& runs,
             int32_t before = INT32_MAX)
{
    for (const QuadRun& run : runs)
        if (run.opaque && run.order > after && run.order < before && Inside(area, run.rect))
            return true;
    return false;
}

// The run that draws the window's frame, or null when none was drawn.
const QuadRun* FrameRun(const WeUIComponent& window, const std::vector<QuadRun>& runs)
{
    for (const QuadRun& run : runs)
        if (run.firstLeft == window.x && run.firstTop == window.y && Inside(RectOf(window), run.rect))
            return &run;
    return nullptr;
}

class ShippedLayouts : public GlFrameFixture, public testing::WithParamInterface<ScreenSize>
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        StartGl(GetParam().width, GetParam().height);
        if (HasFatalFailure())
            return;
        engine.settings.uiSourceWidth = uiMain.DesignWidth();
        engine.settings.uiSourceHeight = uiMain.DesignHeight();
        if (localization.GetLanguageName().IsEmpty())
            localization.LoadAll();
        uiMain.SetPainter(&recorder);
    }
    void TearDown() override
    {
        uiMain.Shutdown();
        uiMain.SetPainter(nullptr);
        localization.SelectLanguage(0);
        GlFrameFixture::TearDown();
    }

    // Loads the screen afresh and sets its texts and rows; the number of its states.
    int32_t Load(const ScreenCase& screen)
    {
        uiMain.Shutdown();
        uiMain.Init();
        uiMain.cursorVisible = false;
        for (const char* layout : screen.layouts)
            uiMain.LoadComponents(layout);
        size_t states = 1;
        for (const auto& group : screen.groups)
            states = std::max(states, group.size());
        texts.clear();
        for (const auto& [widget, make] : screen.texts)
        {
            texts.emplace_back(widget, make());
            states = std::max(states, texts.back().second.size());
        }
        for (const auto& [widget, make] : screen.rows)
        {
            auto* list = dynamic_cast<WeUIMultiList*>(MivoFindWidget(widget));
            EXPECT_NE(list, nullptr) << widget;
            for (const Texts& row : list ? make() : std::vector<Texts>())
            {
                WeList<WeString> cells;
                for (const WeString& cell : row)
                    cells.PushBack(cell);
                list->AddRow(&cells);
            }
        }
        return static_cast<int32_t>(states);
    }
    void Show(const ScreenCase& screen, int32_t state)
    {
        for (const char* name : screen.hidden)
            SetVisible(name, false);
        for (const auto& group : screen.groups)
        {
            for (const auto& member : group)
                for (const char* name : member)
                    SetVisible(name, false);
            for (const char* name : group[size_t(state) % group.size()])
                SetVisible(name, true);
        }
        for (const auto& [widget, candidates] : texts)
        {
            WeUIComponent* c = MivoFindWidget(widget);
            ASSERT_NE(c, nullptr) << widget;
            ASSERT_FALSE(candidates.empty()) << widget;
            c->text = candidates[size_t(state) % candidates.size()];
        }
        uiMain.Update();
        recorder.Clear();
        uiMain.Render();
    }
    static void SetVisible(const char* name, bool visible)
    {
        WeUIComponent* c = MivoFindWidget(name);
        ASSERT_NE(c, nullptr) << name;
        c->visible = visible;
    }

    // What is wrong with the texts drawn, one line each.
    std::vector<std::string> Faults()
    {
        std::vector<std::string> faults;
        const WeUIRect screen = Rect(0, 0, renderDevice.BackBufferWidth(), renderDevice.BackBufferHeight());
        std::vector<const WeUIComponent*> windows;
        CollectWindows(uiMain.root, windows);
        for (DrawnText& t : recorder.texts)
        {
            t.owner = OwnerOf(uiMain.root, t);
            const std::string what =
                "\"" + std::string(t.text.GetData()) + "\" of " + Name(t.owner) + " at " + Describe(t.glyphs);
            if (!t.owner)
            {
                faults.push_back(what + ": drawn by no shown widget");
                continue;
            }
            if (!Inside(t.glyphs, screen))
                faults.push_back(what + ": off the screen");
            if (const WeUIRect inner = InnerRect(*t.owner); !Inside(t.glyphs, inner))
                faults.push_back(what + ": not within the margins of its widget " + Describe(inner));
            if (const WeUIComponent* frame = FrameOf(t.owner); frame && !Inside(t.glyphs, RectOf(*frame)))
                faults.push_back(what + ": outside the frame of " + Name(frame) + " " +
                                 Describe(RectOf(*frame)));
            for (const WeUIComponent* window : windows)
            {
                const QuadRun* frame = FrameRun(*window, recorder.runs);
                const WeUIRect crossed = Intersection(t.glyphs, RectOf(*window));
                if (!frame || t.owner->IsDescendantOf(const_cast<WeUIComponent*>(window)) ||
                    IsEmpty(crossed) || Inside(t.glyphs, RectOf(*window)))
                    continue;
                // A text over a frame's edge, unless an opaque frame between them hides the edge; a
                // text under an edge, unless the frame above it is opaque and cuts it off.
                const bool over = frame->order < t.order;
                if (over ? !Covered(crossed, frame->order, recorder.runs, t.order) : !frame->opaque)
                    faults.push_back(what + ": crosses the edge of " + Name(window) + " " +
                                     Describe(RectOf(*window)));
            }
        }
        for (size_t i = 0; i < recorder.texts.size(); ++i)
            for (size_t j = i + 1; j < recorder.texts.size(); ++j)
            {
                const DrawnText &a = recorder.texts[i], &b = recorder.texts[j];
                if (!a.owner || !b.owner || a.owner == b.owner)
                    continue;
                const WeUIRect both = Intersection(a.inked, b.inked);
                if (!IsEmpty(both) && !Covered(both, std::min(a.order, b.order), recorder.runs))
                    faults.push_back("\"" + std::string(a.text.GetData()) + "\" of " + Name(a.owner) +
                                     " and \"" + std::string(b.text.GetData()) + "\" of " + Name(b.owner) +
                                     " overlap at " + Describe(both));
            }
        return faults;
    }

    LayoutRecorder recorder;
    std::vector<std::pair<const char*, Texts>> texts;
};

} // namespace

TEST_P(ShippedLayouts, NoTextOfAnyScreenLeavesItsFramesOrCoversAnother)
{
    ASSERT_GE(localization.GetLanguageCount(), 2);
    int32_t drawn = 0;
    for (int32_t language = 0; language < localization.GetLanguageCount(); ++language)
    {
        localization.SelectLanguage(language);
        for (const ScreenCase& screen : Cases())
        {
            const int32_t states = Load(screen);
            for (int32_t state = 0; state < states; ++state)
            {
                Show(screen, state);
                drawn += static_cast<int32_t>(recorder.texts.size());
                for (const std::string& fault : Faults())
                    ADD_FAILURE() << localization.GetLanguageCode().GetData() << " " << screen.layouts.back()
                                  << " state " << state << ": " << fault;
            }
        }
    }
    EXPECT_GT(drawn, 500);
}

INSTANTIATE_TEST_SUITE_P(AspectRatios, ShippedLayouts, testing::ValuesIn(kScreenSizes),
                         [](const testing::TestParamInfo<ScreenSize>& size) { return SizeName(size.param); });

namespace
{

// The colour of a point of a widget's picture, stretched over the widget.
uint32_t PictureAt(const WeUIComponent& widget, const std::vector<uint32_t>& texels, int32_t texW,
                   int32_t texH, int32_t x, int32_t y)
{
    const int32_t u = std::clamp((x - widget.x) * texW / std::max(1, widget.w), 0, texW - 1);
    const int32_t v = std::clamp((y - widget.y) * texH / std::max(1, widget.h), 0, texH - 1);
    return texels[size_t(v) * size_t(texW) + size_t(u)];
}

} // namespace

TEST_P(ShippedLayouts, EveryRegionsCaptionLiesOnLandAndCoversNoPlaceNorAnotherCaption)
{
    for (int32_t language = 0; language < localization.GetLanguageCount(); ++language)
    {
        localization.SelectLanguage(language);
        ScreenCase quest;
        quest.layouts = {"Quest"};
        Load(quest);
        Show(quest, 0);
        const WeUIComponent* map = MivoFindWidget("QuestMap");
        ASSERT_NE(map, nullptr);
        ASSERT_TRUE(map->style && map->style->texture);
        WeTexture& picture = *map->style->texture;
        void* bits = nullptr;
        int32_t bytes = 0, pitch = 0;
        ASSERT_TRUE(picture.Lock(&bits, &bytes, &pitch));
        std::vector<uint32_t> texels(size_t(picture.width) * size_t(picture.height));
        for (int32_t row = 0; row < picture.height; ++row)
            std::memcpy(&texels[size_t(row) * size_t(picture.width)],
                        static_cast<const uint8_t*>(bits) + size_t(row) * size_t(pitch),
                        size_t(picture.width) * 4);
        picture.Unlock();
        const uint32_t sea = texels[0]; // the picture's corner lies in the sea around the land
        std::vector<const WeUIComponent*> places, captions;
        for (int32_t r = 1; r <= 15; ++r)
        {
            captions.push_back(MivoFindWidget(Numbered("QuestRegionLabel", r)));
            places.push_back(MivoFindWidget(Numbered("QuestTeleport", r)));
            for (int32_t c = 1; c <= 5; ++c)
                places.push_back(MivoFindWidget(Numbered("QuestCityR", r) + Numbered("C", c)));
        }
        for (const WeUIComponent* caption : captions)
        {
            ASSERT_NE(caption, nullptr);
            const std::string name = std::string(localization.GetLanguageCode().GetData()) + " " +
                                     Name(caption) + " \"" + caption->text.GetData() + "\" " +
                                     Describe(RectOf(*caption));
            for (const int32_t x : {caption->x, caption->x + caption->w / 2, caption->x + caption->w - 1})
                for (const int32_t y : {caption->y, caption->y + caption->h - 1})
                    EXPECT_NE(PictureAt(*map, texels, picture.width, picture.height, x, y), sea)
                        << name << " over the sea at " << x << "," << y;
            for (const WeUIComponent* place : places)
            {
                ASSERT_NE(place, nullptr);
                EXPECT_TRUE(IsEmpty(Intersection(RectOf(*caption), RectOf(*place))))
                    << name << " covers " << Name(place) << " " << Describe(RectOf(*place));
            }
            for (const WeUIComponent* other : captions)
                EXPECT_TRUE(other == caption || IsEmpty(Intersection(RectOf(*caption), RectOf(*other))))
                    << name << " covers " << Name(other);
        }
    }
}
