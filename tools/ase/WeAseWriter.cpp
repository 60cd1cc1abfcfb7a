#include "WeAseWriter.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace
{

// Appends four points of a quad and its two faces.
void Quad(WeAseSample& sample, const std::array<std::array<float, 3>, 4>& corners,
          const std::array<float, 3>& normal)
{
    const int first = int(sample.points.size());
    const std::array<std::array<float, 2>, 4> uvs{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    for (int i = 0; i < 4; ++i)
    {
        sample.points.push_back(corners[size_t(i)]);
        sample.normals.push_back(normal);
        sample.uvs.push_back(uvs[size_t(i)]);
    }
    sample.faces.push_back({first, first + 1, first + 2});
    sample.faces.push_back({first, first + 2, first + 3});
}

class Text
{
public:
    explicit Text(const WeAseStyle& style) : style(style) {}
    Text& Line(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        char buffer[256];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(buffer, sizeof(buffer), format, arguments);
        va_end(arguments);
        out += buffer;
        out += style.crlf ? "\r\n" : "\n";
        return *this;
    }
    void Comment()
    {
        if (style.comments)
            Line("\t\t*COMMENT \"a remark inside the list\"");
    }

    const WeAseStyle& style;
    std::string out;
};

} // namespace

WeAseSample WeAseCube()
{
    WeAseSample cube;
    for (int axis = 0; axis < 3; ++axis)
        for (const float side : {-1.0f, 1.0f})
        {
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            std::array<std::array<float, 3>, 4> corners{};
            const float us[4] = {-1, 1, 1, -1}, vs[4] = {-1, -1, 1, 1};
            for (int i = 0; i < 4; ++i)
            {
                corners[size_t(i)][size_t(axis)] = side;
                corners[size_t(i)][size_t(u)] = us[i] * side;
                corners[size_t(i)][size_t(v)] = vs[i];
            }
            std::array<float, 3> normal{};
            normal[size_t(axis)] = side;
            Quad(cube, corners, normal);
        }
    return cube;
}

WeAseSample WeAseSphere(int rings, int segments)
{
    WeAseSample sphere;
    const float pi = 3.14159265f;
    for (int ring = 0; ring <= rings; ++ring)
        for (int segment = 0; segment <= segments; ++segment)
        {
            const float theta = pi * float(ring) / float(rings),
                        phi = 2 * pi * float(segment) / float(segments);
            const std::array<float, 3> at{std::sin(theta) * std::cos(phi), std::cos(theta),
                                          std::sin(theta) * std::sin(phi)};
            sphere.points.push_back(at);
            sphere.normals.push_back(at);
            sphere.uvs.push_back({float(segment) / float(segments), float(ring) / float(rings)});
        }
    for (int ring = 0; ring < rings; ++ring)
        for (int segment = 0; segment < segments; ++segment)
        {
            const int a = ring * (segments + 1) + segment, b = a + 1, c = a + segments + 1, d = c + 1;
            sphere.faces.push_back({a, c, b});
            sphere.faces.push_back({b, c, d});
        }
    return sphere;
}

WeAseSample WeAseGrid(int cells)
{
    WeAseSample grid;
    for (int z = 0; z <= cells; ++z)
        for (int x = 0; x <= cells; ++x)
        {
            grid.points.push_back({float(x), 0.0f, float(z)});
            grid.normals.push_back({0.0f, 1.0f, 0.0f});
            grid.uvs.push_back({float(x) / float(cells), float(z) / float(cells)});
        }
    for (int z = 0; z < cells; ++z)
        for (int x = 0; x < cells; ++x)
        {
            const int a = z * (cells + 1) + x, b = a + 1, c = a + cells + 1, d = c + 1;
            grid.faces.push_back({a, c, b});
            grid.faces.push_back({b, c, d});
        }
    return grid;
}

std::string WeAseText(const WeAseSample& sample, const WeAseStyle& style)
{
    Text text(style);
    text.Line("*3DSMAX_ASCIIEXPORT\t200").Line("*COMMENT \"written by the sample tool\"");
    text.Line("*SCENE {").Line("\t*SCENE_FILENAME \"sample.max\"").Line("}");
    if (style.materials > 0)
    {
        text.Line("*MATERIAL_LIST {").Line("\t*MATERIAL_COUNT %d", style.materials);
        for (int i = 0; i < style.materials; ++i)
            text.Line("\t*MATERIAL %d {", i)
                .Line("\t\t*MATERIAL_NAME \"Material #%d\"", i)
                .Line("\t\t*MAP_DIFFUSE {")
                .Line("\t\t\t*BITMAP \"texture%d.dds\"", i)
                .Line("\t\t}")
                .Line("\t}");
        text.Line("}");
    }
    const size_t points = sample.points.size(), faces = sample.faces.size();
    text.Line("*GEOMOBJECT {")
        .Line("\t*NODE_NAME \"sample\"")
        .Line("\t*NODE_TM {")
        .Line("\t\t*TM_ROW0 1 0 0")
        .Line("\t}");
    text.Line("\t*MESH {").Line("\t\t*TIMEVALUE 0");
    text.Line("\t\t*MESH_NUMVERTEX %zu", points).Line("\t\t*MESH_NUMFACES %zu", faces);
    text.Line("\t\t*MESH_VERTEX_LIST {");
    for (size_t i = 0; i < points; ++i)
    {
        text.Comment();
        const auto& p = sample.points[i];
        text.Line("\t\t\t*MESH_VERTEX %5zu\t%.4f\t%.4f\t%.4f", i, p[0], p[1], p[2]);
    }
    text.Line("\t\t}").Line("\t\t*MESH_FACE_LIST {");
    for (size_t i = 0; i < faces; ++i)
    {
        const auto& f = sample.faces[i];
        text.Line("\t\t\t*MESH_FACE %5zu:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t "
                  "*MESH_SMOOTHING 1 \t*MESH_MTLID 0",
                  i, f[0], f[1], f[2]);
    }
    text.Line("\t\t}").Line("\t\t*MESH_NUMTVERTEX %zu", points).Line("\t\t*MESH_TVERTLIST {");
    for (size_t i = 0; i < points; ++i)
        text.Line("\t\t\t*MESH_TVERT %zu\t%.4f\t%.4f\t0.0000", i, sample.uvs[i][0], sample.uvs[i][1]);
    text.Line("\t\t}").Line("\t\t*MESH_NUMTVFACES %zu", faces).Line("\t\t*MESH_TFACELIST {");
    for (size_t i = 0; i < faces; ++i)
    {
        text.Comment();
        const auto& f = sample.faces[i];
        text.Line("\t\t\t*MESH_TFACE %zu\t%d\t%d\t%d", i, f[0], f[1], f[2]);
    }
    text.Line("\t\t}").Line("\t\t*MESH_NORMALS {");
    for (size_t i = 0; i < faces; ++i)
    {
        const auto& f = sample.faces[i];
        text.Line("\t\t\t*MESH_FACENORMAL %zu\t0.0000\t1.0000\t0.0000", i);
        for (const int corner : f)
        {
            const auto& n = sample.normals[size_t(corner)];
            text.Line("\t\t\t\t*MESH_VERTEXNORMAL %d\t%.4f\t%.4f\t%.4f", corner, n[0], n[1], n[2]);
        }
    }
    text.Line("\t\t}").Line("\t}").Line("\t*MATERIAL_REF 0").Line("}");
    return text.out;
}
