#pragma once
// The axes and grid lines of the surface view: the three axes from the origin and
// a grid on each of the three faces of the unit cube that meet there.
#include <vector>

struct AxisGrid
{
    int xDivisions = 5;
    int yDivisions = 5;
    int zDivisions = 5;

    struct Line
    {
        float from[3];
        float to[3];
        float width;
    };

    // The lines in drawing order: the three axes, then the grid.
    std::vector<Line> lines() const;

    void draw() const;
};
