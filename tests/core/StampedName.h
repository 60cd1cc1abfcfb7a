// Whether a text is prefix + a local-time stamp "YYYY-MM-DD-hh-mm-ss" + suffix.
#pragma once

#include <cctype>
#include <string>

inline bool IsStampedName(const std::string& text, const std::string& prefix, const std::string& suffix)
{
    const std::string shape = "dddd-dd-dd-dd-dd-dd";
    if (text.size() != prefix.size() + shape.size() + suffix.size() ||
        text.compare(0, prefix.size(), prefix) != 0 ||
        text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (size_t i = 0; i < shape.size(); ++i)
    {
        const char c = text[prefix.size() + i];
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != '-')
            return false;
    }
    return true;
}
