// The localization object (global localization): the languages loaded for this run. So far it
// knows only the unnamed default language; the tables come with the user interface.
#pragma once

#include "WeList.h"
#include "WeString.h"

class WeLocalization
{
public:
    // Loads the languages of the build; when none could be loaded, one unnamed default language.
    // The current language is the first loaded. Run at the start of every pass of the run loop,
    // so it starts from an empty list each time.
    void LoadAll();

    WeList<WeString> languages;
    int32_t current = -1; // index into languages, -1 before LoadAll
};

extern WeLocalization localization;
