#include "MivoFieldReader.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// The reader's fields, each followed by '|'.
std::string Fields(const WeString& text, char separator)
{
    MivoFieldReader reader(text, separator);
    std::string fields;
    while (!reader.AtEnd())
        fields += std::string(reader.Next().GetData()) + "|";
    return fields;
}

// The same fields as GetToken finds them one by one.
std::string Tokens(const WeString& text, char separator)
{
    std::string fields;
    const int32_t count = text.IsEmpty() ? 1 : text.CountTokens(separator);
    for (int32_t i = 0; i < count; ++i)
        fields += std::string(text.GetToken(separator, i).GetData()) + "|";
    return fields;
}
} // namespace

TEST(MivoFieldReader, FindsTheFieldsGetTokenFindsInOnePass)
{
    for (const char* text : {"", "a", ",", "a,b", "a,,b", ",a", "a,", ",,", "long field,x,"})
    {
        EXPECT_EQ(Fields(text, ','), Tokens(text, ',')) << text;
    }
    const WeString two("a,b");
    MivoFieldReader reader(two, ',');
    reader.Next();
    reader.Next();
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_TRUE(reader.Next().IsEmpty()) << "past the end";
}
