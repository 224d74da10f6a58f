#pragma once
// A grid of values as a coloured 3D surface with grey axes and grid lines, in an
// orthographic projection that the operator turns with the mouse. Drawn with the
// fixed-function OpenGL pipeline.
#include <QMatrix4x4>
#include <QOpenGLWidget>
#include <QPoint>
#include <QRect>
#include <QRectF>

#include "AxisGrid.h"

class SurfacePlot;

class Graph3D : public QOpenGLWidget
{
    Q_OBJECT

public:
    // One full turn in the angles' unit, a sixteenth of a degree.
    static constexpr int FULL_TURN = 360 * 16;
    // The angles the view starts with.
    static constexpr int START_X_ROTATION = 4690;
    static constexpr int START_Y_ROTATION = 21;
    static constexpr int START_Z_ROTATION = 3744;

    explicit Graph3D(QWidget* parent = nullptr);
    ~Graph3D() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Rebuilds the surface; the caller repaints with update().
    void setData(const float* grid, int columns, int rows);
    const SurfacePlot* surface() const { return m_surface; }

    int xRotation() const { return xRot; }
    int yRotation() const { return yRot; }
    int zRotation() const { return zRot; }

    // Brings an angle into 0 to FULL_TURN; FULL_TURN itself stays.
    static int normalizedAngle(int angle);
    // The centred square of a w x h area that the scene is drawn into.
    static QRect squareViewport(int w, int h);

    // The scene turned by the angles and moved away from the eye.
    static QMatrix4x4 modelView(int xRotation, int yRotation, int zRotation);
    // The orthographic box: a square around the unit cube, surface heights 0 to 1
    // included, as the start angles show it, with a margin, so nothing is cut off.
    // It stays as it is while the operator turns the view.
    static QMatrix4x4 projection();
    // That square, in the scene's units before the projection.
    static QRectF viewSquare();

public slots:
    void setXRotation(int angle);
    void setYRotation(int angle);
    void setZRotation(int angle);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Viewport and projection for the framebuffer's present size, in device pixels.
    void applyView();

    int xRot = START_X_ROTATION;
    int yRot = START_Y_ROTATION;
    int zRot = START_Z_ROTATION;
    QPoint lastPos;
    SurfacePlot* m_surface = nullptr;
    AxisGrid m_axes;
};
