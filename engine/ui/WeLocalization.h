// The localization object (global localization): the languages the build ships with, each a
// configuration file "Localization" + code, and the translation of text keys such as
// "UI: Exit Game" into the current language.
#pragma once

#include "WeHashTable.h"
#include "WeList.h"
#include "WeString.h"

#include <cstdint>

struct WeLanguage
{
    WeString code;
    WeString name;
    WeHashTable<WeString> texts;
    // Keys asked for and not found: they translate to themselves without counting as present.
    WeHashTable<WeString> misses;
};

class WeLocalization
{
public:
    WeLocalization() = default;
    ~WeLocalization();
    WeLocalization(const WeLocalization&) = delete;
    WeLocalization& operator=(const WeLocalization&) = delete;

    // Every language of "build.Options.Languages" up to its first empty field (or the one of
    // "build.Options.Language"); the unnamed default language when none loaded; the first is
    // current. Starts from an empty list, so a new pass of the run loop loads them once.
    void LoadAll();
    // Appends the language of that code with every text of its file; named by "<LANGUAGE NAME>",
    // else its code, else "Default".
    void LoadLanguage(const WeString& code);
    // The current language's text for key; a missing key translates to itself.
    const WeString& Translate(const WeString& key);
    bool HasKey(const WeString& key) const;
    // An index outside the list selects the first language.
    void SelectLanguage(int32_t index);
    // The first language of that display name; no match changes nothing.
    void SelectLanguageByName(const WeString& languageName);
    WeString GetLanguageName() const;
    WeString GetLanguageCode() const;
    void GetLanguageNames(WeList<WeString>& out) const;
    int32_t GetLanguageCount() const { return languages.GetCount(); }

    int32_t currentIndex = 0;
    WeLanguage* current = nullptr;

private:
    void Clear();

    WeList<WeLanguage*> languages; // owned, in load order
};

extern WeLocalization localization;
