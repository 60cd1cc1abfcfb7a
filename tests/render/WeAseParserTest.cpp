// ASE import: the tokenizer's and lists' edge cases, files that say more than they hold, cut
// files, and the samples the build writes loading as meshes.
#include "WeAseParser.h"
#include "WeAseWriter.h"
#include "WeMesh.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// A mesh block of the vertices, faces and normals lines given.
std::string MeshText(const std::string& body)
{
    return "*GEOMOBJECT {\n*MESH {\n" + body + "}\n}\n";
}

const std::string threeVertices =
    "*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n*MESH_VERTEX_LIST {\n"
    "*MESH_VERTEX 0 1.0 2.0 3.0\n*MESH_VERTEX 1 4 5 6\n*MESH_VERTEX 2 7 8 9\n}\n";

} // namespace

TEST(WeAseParser, EdgeCasesOfLinesListsAndIndices)
{
    const struct
    {
        const char* what;
        std::string text;
        bool ok;
        size_t faces;
        int corner0Vertex; // -1: not checked
    } cases[] = {
        {"an empty first line ends the file", "\n" + MeshText(threeVertices), true, 0, -1},
        {"indices -1 and the vertex count use vertex 0",
         MeshText(threeVertices + "*MESH_FACE_LIST {\n*MESH_FACE 0: A: -1 B: 3 C: 2\n}\n"), true, 1, 0},
        {"comments do not count",
         MeshText(threeVertices + "*MESH_FACE_LIST {\n*COMMENT x\n*MESH_FACE 0: A: 2 B: 1 C: 0\n}\n"), true,
         1, 2},
        {"another line counts and leaves a face missing",
         MeshText(threeVertices + "*MESH_FACE_LIST {\n*OTHER\n*MESH_FACE 0: A: 2 B: 1 C: 0\n}\n"), false, 0,
         -1},
        {"bytes from 128 split tokens",
         MeshText(threeVertices + "*MESH_FACE_LIST {\n*MESH_FACE\xA0"
                                  "0:\xFF"
                                  "A:\x80"
                                  "1 B: 1 C: 0\n}\n"),
         true, 1, 1},
        {"the last line needs no line feed",
         "*GEOMOBJECT {\n*MESH {\n" + threeVertices +
             "*MESH_FACE_LIST {\n*MESH_FACE 0: A: 1 B: 1 C: 0\n}\n}\n}",
         true, 1, 1},
        {"carriage returns are dropped",
         "*GEOMOBJECT {\r\n*MESH {\r\n" + threeVertices +
             "*MESH_FACE_LIST {\r\n*MESH_FACE 0: A: 1 B: 1 C: 0\r\n}\r\n}\r\n}\r\n",
         true, 1, 1},
        {"a block cut off by the end", "*GEOMOBJECT {\n*MESH {\n" + threeVertices, false, 0, -1},
        {"a skipped block cut off by the end", "*SCENE {\n*INNER {\n}\n", false, 0, -1},
        {"faces without vertices",
         MeshText("*MESH_NUMFACES 1\n*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: 0 C: 0\n}\n"), false, 0, -1},
        {"a list without its closing brace",
         MeshText(threeVertices +
                  "*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: 1 C: 2\n*MESH_FACE 1: A: 0 B: 1 C: 2\n}\n"),
         false, 1, 0},
        {"a face normal naming no face",
         MeshText(threeVertices +
                  "*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: 1 C: 2\n}\n*MESH_NORMALS {\n"
                  "*MESH_FACENORMAL 5 0 1 0\n*MESH_VERTEXNORMAL 0 0 1 0\n*MESH_VERTEXNORMAL 1 0 1 0\n"
                  "*MESH_VERTEXNORMAL 2 0 1 0\n}\n"),
         false, 1, 0},
        {"a material before its count", "*MATERIAL_LIST {\n*MATERIAL 0 {\n}\n}\n", false, 0, -1},
        {"missing tokens read as 0",
         MeshText(threeVertices + "*MESH_FACE_LIST {\n*MESH_FACE 0: A: 2 B:\n}\n"), true, 1, 2},
    };
    for (const auto& c : cases)
    {
        WeAseParser parser;
        EXPECT_EQ(parser.ParseText(c.text), c.ok) << c.what;
        EXPECT_EQ(parser.faces.size(), c.faces) << c.what;
        if (c.corner0Vertex >= 0 && !parser.faces.empty())
        {
            EXPECT_EQ(parser.faces[0].vertexIndex[0], c.corner0Vertex) << c.what;
            EXPECT_FLOAT_EQ(parser.faces[0].positions[0].x, 1.0f + 3.0f * float(c.corner0Vertex)) << c.what;
        }
        EXPECT_EQ(c.ok, parser.message.IsEmpty()) << c.what;
    }
}

TEST(WeAseParser, NormalsAndTextureCoordinatesReachTheirCorners)
{
    WeAseParser parser;
    ASSERT_TRUE(parser.ParseText(MeshText(
        threeVertices +
        "*MESH_FACE_LIST {\n*MESH_FACE 0: A: 2 B: 0 C: 1\n}\n"
        "*MESH_NUMTVERTEX 2\n*MESH_TVERTLIST {\n*MESH_TVERT 0 0.25 0.5 0\n*MESH_TVERT 1 0.75 1 0\n}\n"
        "*MESH_NUMTVFACES 1\n*MESH_TFACELIST {\n*MESH_TFACE 0 1 0 7\n}\n"
        "*MESH_NORMALS {\n*MESH_FACENORMAL 0 0 0 1\n*MESH_VERTEXNORMAL 0 1 0 0\n*COMMENT\n"
        "*MESH_VERTEXNORMAL 9 0 2 0\n*MESH_VERTEXNORMAL 2 0 0 3\n}\n")))
        << parser.message.GetData();
    const WeAseFace& face = parser.faces.at(0);
    // Vertex 0 is corner 1; vertex 9 is no corner and takes the corner of its place (1) over it;
    // vertex 2 is corner 0.
    EXPECT_FLOAT_EQ(face.normals[1].y, 2.0f);
    EXPECT_FLOAT_EQ(face.normals[0].z, 3.0f);
    EXPECT_FLOAT_EQ(face.texCoords[0][0], 0.75f);
    EXPECT_FLOAT_EQ(face.texCoords[1][0], 0.25f);
    EXPECT_FLOAT_EQ(face.texCoords[2][0], 0.25f); // index 7 is out of range: texture vertex 0
}

TEST(WeAseParser, EveryCutOfASampleFailsOrHoldsNoFaces)
{
    const std::string text = WeAseText(WeAseCube(), {true, true, 2});
    for (size_t end = text.find('\n'); end != std::string::npos && end + 1 < text.size();
         end = text.find('\n', end + 1))
    {
        WeAseParser parser;
        const bool parsed = parser.ParseText(std::string_view(text).substr(0, end + 1));
        EXPECT_TRUE(!parsed || parser.faces.empty()) << end;
    }
}

TEST(WeMeshAse, SamplesLoadWithThreeVerticesAFaceInOneSubset)
{
    const struct
    {
        const char* file;
        int32_t faces;
    } samples[] = {{"TestData/Ase/cube.ase", 12},
                   {"TestData/Ase/sphere.ase", 12 * 16 * 2},
                   {"TestData/Ase/remarks.ASE", 12},
                   {"TestData/Ase/grid.ase", 20000}};
    for (const auto& sample : samples)
    {
        WeMesh mesh;
        ASSERT_TRUE(mesh.Load(nullptr, sample.file, false))
            << sample.file << ": " << mesh.GetLastError().GetData();
        EXPECT_EQ(mesh.numFaces, sample.faces) << sample.file;
        EXPECT_EQ(mesh.numVertices, 3 * sample.faces) << sample.file;
        EXPECT_EQ(mesh.subsetCount, 1) << sample.file;
        EXPECT_EQ(mesh.sets[0].names[0], WeString("Config.Assets.Default")) << sample.file;
        EXPECT_EQ(mesh.GetBytesPerVertex(), 52) << sample.file;
        EXPECT_NE(mesh.sourceTime[1], 0u) << sample.file;
    }
    WeMesh other;
    EXPECT_FALSE(other.Load(nullptr, "TestData/Ase/cube.obj", false));
    EXPECT_FALSE(other.LoadASE("TestData/Ase/missing.ase"));
}
