// Reads the fields of a text at one separator from the front, each byte once, so that a text of
// many fields is read in one pass. Fields count as WeString::GetToken counts them: field 0 is the
// text before the first separator, and a separator at the end leaves an empty last field.
#pragma once

#include "WeString.h"

#include <cstdint>

class MivoFieldReader
{
public:
    // The text must outlive the reader.
    MivoFieldReader(const WeString& text, char separator);
    MivoFieldReader(WeString&& text, char separator) = delete;

    // The next field; empty once every field has been read.
    WeString Next();
    // Whether every field has been read.
    bool AtEnd() const { return position > text.GetLength(); }

private:
    const WeString& text;
    char separator;
    int32_t position = 0; // where the next field starts; past the length once all are read
};
