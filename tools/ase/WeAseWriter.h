// ASE text scenes of simple shapes, for the importer's tests and benchmark and the sample
// files the build writes: a textured cube with normals, a sphere, a flat grid.
#pragma once

#include <array>
#include <string>
#include <vector>

struct WeAseSample
{
    std::vector<std::array<float, 3>> points;
    std::vector<std::array<float, 3>> normals; // per point
    std::vector<std::array<float, 2>> uvs;     // per point
    std::vector<std::array<int, 3>> faces;
};

struct WeAseStyle
{
    bool crlf = false;     // carriage return before every line feed
    bool comments = false; // "*COMMENT" lines inside every list
    int materials = 0;     // materials in a material list (none without)
};

// A 2 m cube about the origin: four points of its own per side, so each side has its normal.
WeAseSample WeAseCube();
// A unit sphere of rings x segments quads.
WeAseSample WeAseSphere(int rings, int segments);
// cells x cells quads in the XZ plane, two faces each, 1 m apart.
WeAseSample WeAseGrid(int cells);
// The scene's text: one geometry object with its vertex, face, texture and normal lists.
std::string WeAseText(const WeAseSample& sample, const WeAseStyle& style = {});
