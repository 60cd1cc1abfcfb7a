#include "WeAseParser.h"

#include "WeFileStream.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace
{

// Bytes up to the blank, and every byte from 128 up (negative as a signed byte), separate tokens.
bool Separates(char byte)
{
    return static_cast<signed char>(byte) <= 32;
}

std::string_view Unsigned(std::string_view token)
{
    return !token.empty() && token[0] == '+' ? token.substr(1) : token;
}

} // namespace

bool WeAseParser::Parse(const WeString& newPath)
{
    path = newPath;
    WeFileStream file;
    if (!file.Open(path))
    {
        error = true;
        message = "cannot open " + path;
        return false;
    }
    std::string bytes(size_t(std::max<int64_t>(file.GetSize(), 0)), '\0');
    const bool read = file.Read(bytes.data(), int64_t(bytes.size())) == int64_t(bytes.size());
    file.Close();
    if (!read)
    {
        error = true;
        message = "cannot read " + path;
        return false;
    }
    return ParseText(bytes);
}

bool WeAseParser::ParseText(std::string_view newText)
{
    error = false;
    message = "";
    text = newText;
    at = 0;
    materialCount = numVertex = numFaces = numTVertex = numTVFaces = 0;
    vertices.clear();
    textureVertices.clear();
    faces.clear();
    while (NextLine() && tokenCount > 0)
    {
        if (First() == "*MATERIAL_LIST")
            MaterialList();
        else if (First() == "*GEOMOBJECT")
            Block([this] { First() == "*MESH" ? Mesh() : Opens() ? SkipBlock() : void(); });
        else if (Opens())
            SkipBlock();
    }
    return !error;
}

bool WeAseParser::NextLine()
{
    tokenCount = 0;
    if (at >= text.size())
        return false;
    const size_t feed = text.find('\n', at);
    const size_t end = feed == std::string_view::npos ? text.size() : feed;
    std::string_view whole = text.substr(at, end - at);
    at = end + 1;
    // Carriage returns are dropped wherever they stand; they also split tokens, so only a
    // return inside a token needs the copy.
    if (whole.find('\r') != std::string_view::npos)
    {
        line.clear();
        for (const char byte : whole)
            if (byte != '\r')
                line.push_back(byte);
        whole = line;
    }
    for (size_t i = 0; i < whole.size();)
    {
        while (i < whole.size() && Separates(whole[i]))
            ++i;
        const size_t start = i;
        while (i < whole.size() && !Separates(whole[i]))
            ++i;
        if (i == start)
            break;
        lastToken = whole.substr(start, i - start);
        if (tokenCount < maxTokens)
            tokens[tokenCount] = lastToken;
        ++tokenCount;
    }
    return true;
}

int32_t WeAseParser::Int(std::string_view token)
{
    token = Unsigned(token);
    int32_t value = 0;
    std::from_chars(token.data(), token.data() + token.size(), value);
    return value;
}

float WeAseParser::Float(int index) const
{
    const std::string_view token = Unsigned(Token(index));
    float value = 0.0f;
    std::from_chars(token.data(), token.data() + token.size(), value);
    return value;
}

void WeAseParser::Fail(const char* why)
{
    if (!error)
        message = WeString(why) + " (" + path + ")";
    error = true;
}

template <typename F> void WeAseParser::Block(F&& handle)
{
    while (NextLine())
    {
        if (Closes())
            return;
        handle();
    }
    Fail("a block is cut off by the end of the file");
}

void WeAseParser::SkipBlock()
{
    for (int depth = 1; depth >= 1;)
    {
        if (!NextLine())
            return Fail("a block is cut off by the end of the file");
        if (Opens())
            ++depth;
        else if (Closes())
            --depth;
    }
}

void WeAseParser::MaterialList()
{
    Block(
        [this]
        {
            if (First() == "*MATERIAL_COUNT")
                materialCount = Int(Last());
            else if (First() == "*MATERIAL" && materialCount <= 0)
            {
                Fail("a material before any material count");
                SkipBlock();
            }
            else if (First() == "*MATERIAL")
                Block([this] { First() != "*MATERIAL_NAME" && Opens() ? SkipBlock() : void(); });
            else if (Opens())
                SkipBlock();
        });
}

template <typename F>
void WeAseParser::List(std::string_view keyword, int32_t announced, const char* what, F&& entry)
{
    int32_t counted = 0, taken = 0;
    while (counted < announced)
    {
        if (!NextLine())
            return Fail("a list is cut off by the end of the file");
        if (First() == "*COMMENT")
            continue;
        ++counted;
        if (First() == keyword)
        {
            entry();
            ++taken;
        }
    }
    if (!NextLine() || !Closes())
        Fail("a list does not end where its count says");
    else if (taken < announced)
        Fail(what);
}

void WeAseParser::Mesh()
{
    Block(
        [this]
        {
            const std::string_view first = First();
            const auto count = [this] { return Int(Last()); };
            if (first == "*MESH_NUMVERTEX")
                numVertex = count();
            else if (first == "*MESH_NUMFACES")
                numFaces = count();
            else if (first == "*MESH_NUMTVERTEX")
                numTVertex = count();
            else if (first == "*MESH_NUMTVFACES")
                numTVFaces = count();
            else if (first == "*MESH_VERTEX_LIST")
                List("*MESH_VERTEX", numVertex, "fewer vertices than announced",
                     [this] {
                         vertices.push_back({Float(2), Float(3), Float(4)});
                     });
            else if (first == "*MESH_FACE_LIST" && numVertex <= 0)
            {
                Fail("faces without vertices");
                SkipBlock();
            }
            else if (first == "*MESH_FACE_LIST")
                List("*MESH_FACE", numFaces, "fewer faces than announced", [this] { Face(); });
            else if (first == "*MESH_TVERTLIST")
                List("*MESH_TVERT", numTVertex, "fewer texture vertices than announced",
                     [this] {
                         textureVertices.push_back({Float(2), Float(3), 0.0f});
                     });
            else if (first == "*MESH_TFACELIST" && numTVFaces <= 0)
            {
                Fail("texture faces without a count");
                SkipBlock();
            }
            else if (first == "*MESH_TFACELIST")
                List("*MESH_TFACE", numTVFaces, "fewer texture faces than announced",
                     [this] { TextureFace(); });
            else if (first == "*MESH_NORMALS")
                List("*MESH_FACENORMAL", numFaces, "fewer face normals than faces",
                     [this] { FaceNormals(); });
            else if (Opens())
                SkipBlock();
        });
}

namespace
{

// An index within the entries read, else 0; false when there is none to take.
bool Clamp(int32_t& index, size_t count)
{
    if (index < 0 || size_t(index) >= count)
        index = 0;
    return count > 0;
}

} // namespace

void WeAseParser::Face()
{
    WeAseFace& face = faces.emplace_back();
    for (int corner = 0; corner < 3; ++corner)
    {
        int32_t index = Int(Token(3 + 2 * corner));
        if (!Clamp(index, vertices.size()))
            return Fail("a face before its vertices");
        face.vertexIndex[corner] = index;
        face.positions[corner] = vertices[size_t(index)];
    }
}

void WeAseParser::TextureFace()
{
    int32_t face = Int(Token(1));
    if (!Clamp(face, faces.size()))
        return Fail("texture faces before the faces");
    for (int corner = 0; corner < 3; ++corner)
    {
        int32_t index = Int(Token(2 + corner));
        if (!Clamp(index, textureVertices.size()))
            return Fail("texture faces before the texture vertices");
        const WeVector& uv = textureVertices[size_t(index)];
        float* target = faces[size_t(face)].texCoords[corner];
        target[0] = uv.x;
        target[1] = uv.y;
        target[2] = uv.z;
    }
}

void WeAseParser::FaceNormals()
{
    const int32_t selected = Int(Token(1));
    const bool known = selected >= 0 && size_t(selected) < faces.size();
    if (!known)
        Fail("a face normal names no face");
    for (int position = 0; position < 3;)
    {
        if (!NextLine())
            return Fail("face normals are cut off by the end of the file");
        if (First() == "*COMMENT")
            continue;
        if (known && First() == "*MESH_VERTEXNORMAL")
        {
            WeAseFace& face = faces[size_t(selected)];
            const int32_t vertex = Int(Token(1));
            int corner = position;
            for (int i = 0; i < 3; ++i)
                if (face.vertexIndex[i] == vertex)
                {
                    corner = i;
                    break;
                }
            face.normals[corner] = {Float(2), Float(3), Float(4)};
        }
        ++position;
    }
}
