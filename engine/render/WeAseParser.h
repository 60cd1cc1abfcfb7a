// The geometry of an ASE text scene: vertices, faces, texture coordinates and vertex normals of
// its mesh blocks, read line by line. Materials contribute only their count. Counts and indices
// the file gives are checked against what it actually holds: a list with fewer entries than it
// announces, an index outside what was read, a block cut off by the end of the file, or a line
// missing its closing brace fails the parse (Parse goes on to the end and returns false).
#pragma once

#include "WeCamera.h"
#include "WeString.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct WeAseFace
{
    WeVector positions[3];
    int32_t vertexIndex[3] = {};
    WeVector normals[3];
    float texCoords[3][3] = {};
};

class WeAseParser
{
public:
    // Reads the whole file; true when it opened and no fault was met.
    bool Parse(const WeString& path);
    // The same over text in memory.
    bool ParseText(std::string_view text);

    bool error = false;
    WeString message; // the first fault met
    WeString path;
    int32_t materialCount = 0, numVertex = 0, numFaces = 0, numTVertex = 0, numTVFaces = 0;
    std::vector<WeVector> vertices;
    std::vector<WeVector> textureVertices; // (u, v, 0)
    std::vector<WeAseFace> faces;

private:
    static constexpr int maxTokens = 8; // the most any line is read for

    // The next line's tokens; false at the end of the text.
    bool NextLine();
    std::string_view Token(int index) const
    {
        return index < tokenCount && index < maxTokens ? tokens[index] : std::string_view();
    }
    std::string_view First() const { return Token(0); }
    std::string_view Last() const { return tokenCount ? lastToken : std::string_view(); }
    // Base 10; 0 for a missing or malformed token.
    static int32_t Int(std::string_view token);
    float Float(int index) const;
    bool Opens() const { return Last() == "{"; }
    bool Closes() const { return First() == "}"; }
    void Fail(const char* why);

    void SkipBlock();
    // Lines until a closing brace, each handed to the reader; the end of the text fails.
    template <typename F> void Block(F&& line);
    void MaterialList();
    void Mesh();
    // `announced` entries, each a line whose first token is the keyword, handed to the reader;
    // "*COMMENT" lines do not count, other lines count and do nothing. Then the closing brace.
    template <typename F> void List(std::string_view keyword, int32_t announced, const char* what, F&& entry);
    void Face();
    void TextureFace();
    void FaceNormals();

    std::string_view text;
    size_t at = 0;
    std::string line; // the current line without carriage returns, when it had any
    std::string_view tokens[maxTokens];
    std::string_view lastToken;
    int tokenCount = 0;
};
