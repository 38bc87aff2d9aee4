#include "view3d/View3d.h"

#include <QOpenGLContext>

#include <GL/gl.h>
#include <GL/glu.h>

static_assert(sizeof(T3dVertex) == 10 * sizeof(float), "GL_C4F_N3F_V3F needs tightly packed corners");

namespace {
const GLfloat LightPosition[4] = {0.0f, -10.0f, 0.0f, 0.0f};

// Lines take the current normal when lit. Drawing from arrays leaves it undefined, so the
// lines get GL's initial normal each time and keep one colour from paint to paint.
void LineNormal() { glNormal3f(0.0f, 0.0f, 1.0f); }

void DrawBatch(const T3dBatch& batch);

// The onion skin, faint and under the components, which keep every pixel they have without
// it. Opaque: blended in without writing depth, so the components drawn after it pass the
// same depth tests and cover it. Transparent (blending on, no depth test, everything adds
// up): the components' pixels are first marked in the depth buffer, which the picture does
// not use then, and the onion skin is drawn only where no mark is. Each pixel takes the
// brightest of the onion's faces on it (their colours carry their alpha): added up, the
// faces of a box and the layers over each other came out white.
void DrawOnion(const T3dScene& scene, bool transparent)
{
    if (scene.Onion.Triangles.empty() && scene.Onion.Quads.empty() && scene.Onion.Placements.empty())
        return;
    if (transparent) {
        glEnable(GL_DEPTH_TEST);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glDepthFunc(GL_ALWAYS);
        glDepthRange(0.0, 0.0);
        DrawBatch(scene.Components);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthFunc(GL_LESS);
        glDepthRange(0.5, 0.5);
    } else {
        glEnable(GL_BLEND);
    }
    glDepthMask(GL_FALSE);
    glBlendEquation(GL_MAX);
    DrawBatch(scene.Onion);
    glBlendEquation(GL_FUNC_ADD);
    glDepthMask(GL_TRUE);
    glDepthRange(0.0, 1.0);
    glDepthFunc(GL_LEQUAL);
    if (transparent)
        glDisable(GL_DEPTH_TEST);
    else
        glDisable(GL_BLEND);
}

void DrawBatch(const T3dBatch& batch)
{
    // Placed sub-models are posed here, one placement at a time, into one reused buffer.
    static std::vector<T3dVertex> scratch;
    for (const bool quads : {false, true})
        batch.ForEachRun(quads, scratch, [quads](const T3dVertex* corners, size_t count) {
            glInterleavedArrays(GL_C4F_N3F_V3F, 0, corners);
            glDrawArrays(quads ? GL_QUADS : GL_TRIANGLES, 0, GLsizei(count));
        });
}
}  // namespace

void GridLines(float points[GridLineCount * 2][3])
{
    int n = 0;
    for (int i = -10; i < 10; ++i) {
        const float x = float(i);
        points[n][0] = x, points[n][1] = 0, points[n][2] = -10, ++n;
        points[n][0] = x, points[n][1] = 0, points[n][2] = 10, ++n;
    }
    for (int j = -10; j < 10; ++j) {
        const float z = float(j);
        points[n][0] = -10, points[n][1] = 0, points[n][2] = z, ++n;
        points[n][0] = 10, points[n][1] = 0, points[n][2] = z, ++n;
    }
}

void Gl3dInit()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    const GLfloat ambient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat diffuse[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT1, GL_POSITION, LightPosition);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHTING);

    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    // Every paint sets this after the grid, so the grid of a transparent picture is added up
    // where its lines cross; set from the start, the first picture looks like all later ones.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

void Gl3dResize(int width, int height)
{
    if (height <= 0)
        height = 1;
    if (width <= 0)
        width = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void Gl3dPaint(const TViewCamera& camera, const T3dPaintOptions& options, const T3dScene& scene)
{
    if (!QOpenGLContext::currentContext())
        return;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();

    glTranslatef(camera.ViewPanX, camera.ViewPanY, camera.ViewDistance);
    glLightfv(GL_LIGHT1, GL_POSITION, LightPosition);
    glRotatef(camera.ViewRotX, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.ViewRotY, 0.0f, 1.0f, 0.0f);

    if (options.Lighting)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
    if (options.Transparent) {
        glEnable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
    } else {
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
    }

    glColor4f(0.8f, 0.8f, 0.0f, 1.0f);
    if (options.Grid) {
        float grid[GridLineCount * 2][3];
        GridLines(grid);
        LineNormal();
        glBegin(GL_LINES);
        for (const float* p : grid)
            glVertex3fv(p);
        glEnd();
    }

    glColor4f(0.8f, 0.8f, 0.8f, 0.2f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    DrawBatch(scene.Shell);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);

    if (scene.HasPivot) {
        glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
        LineNormal();
        glBegin(GL_LINES);
        for (const float* p : scene.Pivot)
            glVertex3fv(p);
        glEnd();
    }

    DrawOnion(scene, options.Transparent);
    DrawBatch(scene.Components);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}
