#include "WeLocalization.h"

#include "WeConfig.h"

WeLocalization::~WeLocalization()
{
    Clear();
}

void WeLocalization::Clear()
{
    for (WeLanguage* language : languages)
        delete language;
    languages.Clear();
    current = nullptr;
    currentIndex = 0;
}

void WeLocalization::LoadAll()
{
    static WeString& list = WeConfig::GetString("build.Options.Languages", "");
    static WeString& single = WeConfig::GetString("build.Options.Language", "");
    Clear();
    if (!list.IsEmpty())
    {
        const int32_t count = list.CountTokens(',');
        for (int32_t i = 0; i < count; ++i)
        {
            const WeString code = list.GetToken(',', i);
            if (code.IsEmpty())
                break;
            LoadLanguage(code);
        }
        if (languages.IsEmpty())
            LoadLanguage("");
    }
    else
        LoadLanguage(single);
    SelectLanguage(0);
}

void WeLocalization::LoadLanguage(const WeString& code)
{
    WeLanguage* language = new WeLanguage;
    languages.PushBack(language);
    language->code = code;
    const WeString prefix = "Localization" + code + ".Localization.";
    WeList<WeString> keys;
    WeConfig::GetKeys(prefix, keys, false);
    for (const WeString& key : keys)
        language->texts.Insert(key.Substring(prefix.GetLength(), key.GetLength()),
                               WeConfig::GetString(key, ""));
    WeString shownName;
    language->name = language->texts.Find("<LANGUAGE NAME>", shownName) ? shownName : code;
    if (language->name.IsEmpty())
        language->name = "Default";
}

const WeString& WeLocalization::Translate(const WeString& key)
{
    static const WeString nothing;
    if (!current)
        return nothing;
    WeString* text = nullptr;
    if (current->texts.Lookup(key, text) || current->misses.Lookup(key, text))
        return *text;
    return *current->misses.Insert(key, key);
}

bool WeLocalization::HasKey(const WeString& key) const
{
    WeString ignored;
    return current && current->texts.Find(key, ignored);
}

void WeLocalization::SelectLanguage(int32_t index)
{
    if (languages.IsEmpty())
        return;
    if (index < 0 || index >= languages.GetCount())
        index = 0;
    int32_t i = 0;
    for (WeLanguage* language : languages)
        if (i++ == index)
            current = language;
    currentIndex = index;
}

void WeLocalization::SelectLanguageByName(const WeString& languageName)
{
    int32_t i = 0;
    for (WeLanguage* language : languages)
    {
        if (language->name == languageName)
        {
            current = language;
            currentIndex = i;
            return;
        }
        ++i;
    }
}

WeString WeLocalization::GetLanguageName() const
{
    return current ? current->name : WeString();
}

WeString WeLocalization::GetLanguageCode() const
{
    return current ? current->code : WeString();
}

void WeLocalization::GetLanguageNames(WeList<WeString>& out) const
{
    out.Clear();
    for (const WeLanguage* language : languages)
        out.PushBack(language->name);
}
