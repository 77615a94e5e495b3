// Renders a DXF file as the board paints it into a PNG, for comparing with another renderer and
// for screenshots: render_board IN.dxf OUT.png WIDTH HEIGHT [MINX MINY MAXX MAXY]. Without the
// box the drawing's extents are used; the box shown is printed as "MINX MINY MAXX MAXY".
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/render/entity_index.h"
#include "board/render/scene_painter.h"

using namespace pelimator::board;

int main(int argc, char** argv) {
    if (argc != 5 && argc != 9) {
        std::fprintf(stderr,
                     "usage: render_board IN.dxf OUT.png WIDTH HEIGHT [MINX MINY MAXX MAXY]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    try {
        auto application = BoardApplication::Create();
        const OpenedDrawing opened = OpenDrawing(*application, argv[1]);
        const int width = std::atoi(argv[3]);
        const int height = std::atoi(argv[4]);
        Box box;
        if (argc == 9) {
            box = {{std::atof(argv[5]), std::atof(argv[6])},
                   {std::atof(argv[7]), std::atof(argv[8])}};
        } else {
            const UnderlayPtr& underlay = opened.document->UnderlayModel();
            const auto bounds = UnionOf(opened.document->DrawingModel()->Bounds(),
                                        underlay ? underlay->Extents() : std::nullopt);
            if (!bounds) throw std::runtime_error("the drawing is empty");
            box = *bounds;
        }
        ViewTransform transform;
        transform.Fit(box, width, height, 0.0);
        std::printf("%.9g %.9g %.9g %.9g\n", box.min.x, box.min.y, box.max.x, box.max.y);
        QImage image(width, height, QImage::Format_RGB32);
        QPainter painter(&image);
        ScenePainter scene;
        EntityIndex index;
        SceneOverlay overlay;
        overlay.gridVisible = false;
        scene.Paint(painter, QSize(width, height), *opened.document, transform, overlay, index);
        painter.end();
        if (!image.save(QString::fromLocal8Bit(argv[2]))) throw std::runtime_error("cannot write");
        std::fprintf(stderr, "%s\n", opened.Summary().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "render_board: %s\n", error.what());
        return 1;
    }
    return 0;
}
