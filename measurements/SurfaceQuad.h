#pragma once
// One coloured quadrilateral of the surface view: four corners in drawing order,
// then its colour.
class QColor;

struct SurfaceQuad
{
    float corner[4][3] = {};  // x, y, z of each corner
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;        // each 0 to 1

    SurfaceQuad() = default;
    SurfaceQuad(float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2, float z2, float x3,
                float y3, float z3, float r, float g, float b);
    // Black until coloured.
    SurfaceQuad(float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2, float z2, float x3,
                float y3, float z3);

    void setColor(const QColor& color);

    // Between glBegin(GL_QUADS) and glEnd.
    void draw() const;
};
static_assert(sizeof(SurfaceQuad) == 15 * sizeof(float), "a quad is 15 floats, stored in one contiguous list");
