#include "SurfacePlot.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

SurfacePlot::SurfacePlot(QObject* parent)
    : QObject(parent)
{
}

void SurfacePlot::setData(const float* grid, int columns, int rows)
{
    if (!grid || columns < 2 || rows < 2) {
        m_quads.clear();
        return;
    }

    // The colour scale reaches at least 1e-4, so a flat grid of zeros stays blue.
    float largest = 1e-4f;
    float smallest = 0.0f;
    const int cells = rows * columns;
    for (int k = 0; k < cells; ++k)
        if (std::isfinite(grid[k])) {
            largest = std::max(largest, grid[k]);
            smallest = std::min(smallest, grid[k]);
        }
    const float span = largest - smallest;

    // Filled in place: this runs after every scan point, 3969 quads for 64 x 64.
    m_quads.resize(size_t(columns - 1) * size_t(rows - 1));
    SurfaceQuad* quad = m_quads.data();
    bool missing = false;
    const float lastColumn = float(columns - 1);
    const float lastRow = float(rows - 1);
    for (int c = 0; c < columns - 1; ++c) {
        const float x0 = float(c) / lastColumn;
        const float x1 = float(c + 1) / lastColumn;
        for (int r = 0; r < rows - 1; ++r) {
            const float y0 = float(r) / lastRow;
            const float y1 = float(r + 1) / lastRow;
            const float* row0 = grid + r * columns + c;
            const float* row1 = row0 + columns;
            const float z00 = row0[0], z10 = row0[1], z11 = row1[1], z01 = row1[0];
            // A corner with no value (not finite) leaves its cell out: a hole,
            // never a height or a colour made up for it.
            if (!std::isfinite(z00) || !std::isfinite(z10) || !std::isfinite(z11) || !std::isfinite(z01)) {
                missing = true;
                continue;
            }
            float(*corner)[3] = quad->corner;
            corner[0][0] = x0, corner[0][1] = y0, corner[0][2] = z00;
            corner[1][0] = x1, corner[1][1] = y0, corner[1][2] = z10;
            corner[2][0] = x1, corner[2][1] = y1, corner[2][2] = z11;
            corner[3][0] = x0, corner[3][1] = y1, corner[3][2] = z01;
            // The mean over the span, without taking off the smallest value.
            valueToColor(float((z00 + z10 + z11 + z01) * 0.25 / span), quad->red, quad->green, quad->blue);
            ++quad;
        }
    }
    if (missing)
        m_quads.resize(size_t(quad - m_quads.data()));
}

void SurfacePlot::draw() const
{
    glBegin(GL_QUADS);
    for (const SurfaceQuad& quad : m_quads)
        quad.draw();
    glEnd();
}

void SurfacePlot::valueToColor(float v, float& red, float& green, float& blue)
{
    if (double(v) < 0.001) {
        red = 0.0f;
        green = 0.0f;
        blue = 1.0f;
    } else if (v < 0.25f) {
        red = 0.0f;
        green = 4.0f * v;
        blue = 1.0f;
    } else if (v < 0.5f) {
        red = 0.0f;
        green = 1.0f;
        blue = 1.0f - 4.0f * (v - 0.25f);
    } else if (v < 0.75f) {
        red = 4.0f * (v - 0.5f);
        green = 1.0f;
        blue = 0.0f;
    } else if (v < 1.0f) {
        red = 1.0f;
        green = 1.0f - 4.0f * (v - 0.75f);
        blue = 0.0f;
    } else {
        red = 1.0f;
        green = 0.0f;
        blue = 0.0f;
    }
}
