#include "AxisGrid.h"

#include <GL/gl.h>

namespace {
constexpr float AXIS_WIDTH = 1.5f;
constexpr float GRID_WIDTH = 0.5f;
constexpr float GREY = 0.3f;
}  // namespace

std::vector<AxisGrid::Line> AxisGrid::lines() const
{
    std::vector<Line> out;
    out.push_back({{0, 0, 0}, {1, 0, 0}, AXIS_WIDTH});
    out.push_back({{0, 0, 0}, {0, 1, 0}, AXIS_WIDTH});
    out.push_back({{0, 0, 0}, {0, 0, 1}, AXIS_WIDTH});
    // Lines of constant height on the faces x = 0 and y = 0.
    for (int k = 0; k <= zDivisions; ++k) {
        const float t = float(k) / float(zDivisions);
        out.push_back({{0, 0, t}, {1, 0, t}, GRID_WIDTH});
        out.push_back({{0, 0, t}, {0, 1, t}, GRID_WIDTH});
    }
    // Lines of constant x on the faces y = 0 and z = 0.
    for (int k = 0; k <= xDivisions; ++k) {
        const float t = float(k) / float(xDivisions);
        out.push_back({{t, 0, 0}, {t, 0, 1}, GRID_WIDTH});
        out.push_back({{t, 0, 0}, {t, 1, 0}, GRID_WIDTH});
    }
    // Lines of constant y on the faces x = 0 and z = 0.
    for (int k = 0; k <= yDivisions; ++k) {
        const float t = float(k) / float(yDivisions);
        out.push_back({{0, t, 0}, {0, t, 1}, GRID_WIDTH});
        out.push_back({{0, t, 0}, {1, t, 0}, GRID_WIDTH});
    }
    return out;
}

void AxisGrid::draw() const
{
    glColor3f(GREY, GREY, GREY);
    // Line width is state outside glBegin/glEnd: one batch per width.
    float width = -1.0f;
    bool open = false;
    for (const Line& line : lines()) {
        if (line.width != width) {
            if (open)
                glEnd();
            width = line.width;
            glLineWidth(width);
            glBegin(GL_LINES);
            open = true;
        }
        glVertex3f(line.from[0], line.from[1], line.from[2]);
        glVertex3f(line.to[0], line.to[1], line.to[2]);
    }
    if (open)
        glEnd();
}
