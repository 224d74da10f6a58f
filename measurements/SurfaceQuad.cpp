#include "SurfaceQuad.h"

#include <QColor>

#include <GL/gl.h>

SurfaceQuad::SurfaceQuad(float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2, float z2,
                         float x3, float y3, float z3, float r, float g, float b)
    : corner{{x0, y0, z0}, {x1, y1, z1}, {x2, y2, z2}, {x3, y3, z3}}
    , red(r)
    , green(g)
    , blue(b)
{
}

SurfaceQuad::SurfaceQuad(float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2, float z2,
                         float x3, float y3, float z3)
    : SurfaceQuad(x0, y0, z0, x1, y1, z1, x2, y2, z2, x3, y3, z3, 0.0f, 0.0f, 0.0f)
{
}

void SurfaceQuad::setColor(const QColor& color)
{
    red = color.redF();
    green = color.greenF();
    blue = color.blueF();
}

void SurfaceQuad::draw() const
{
    glColor4f(red, green, blue, 1.0f);
    for (const float* c : corner)
        glVertex3f(c[0], c[1], c[2]);
}
