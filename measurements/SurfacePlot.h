#pragma once
// A grid of values as a coloured surface over the unit square: x runs along the
// columns, y along the rows, and the height is the value itself.
#include <QObject>

#include <vector>

#include "SurfaceQuad.h"

class SurfacePlot : public QObject
{
    Q_OBJECT

public:
    explicit SurfacePlot(QObject* parent = nullptr);

    // grid holds rows x columns values, row r and column c at grid[r * columns + c].
    // Rebuilds every quad; fewer than 2 columns or rows leave the surface empty.
    // A value that is not finite (a missing cell) takes no part in the colour
    // scale and leaves out every quad it is a corner of.
    void setData(const float* grid, int columns, int rows);

    const std::vector<SurfaceQuad>& quads() const { return m_quads; }

    // All quads between one glBegin(GL_QUADS) and its glEnd.
    void draw() const;

    // Blue through cyan, green and yellow to red in four quarter bands of 0 to 1;
    // not-a-number is red.
    static void valueToColor(float v, float& red, float& green, float& blue);

private:
    std::vector<SurfaceQuad> m_quads;
};
