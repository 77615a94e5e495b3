// IMAGE and WIPEOUT in the underlay as their frames: the clip boundary (in the image's pixel
// frame) mapped by the insertion point and pixel vectors. The picture itself is not drawn, nor is
// a wipeout's mask (fills are painted beneath every line); a PDF, DWF or DGN underlay offers its
// insertion point to snap to (its page's size is in the file it refers to).
#include <cmath>
#include <vector>

#include "board/dxf/dxf_underlay_builder.h"

namespace pelimator::board::underlay {

void Builder::ImageFrame(const std::vector<Tag>& tags, const Affine& m, const Resolved& res) {
    Vec2 at;
    Vec2 u;
    Vec2 v;
    Vec2 size;
    bool clipped = false;
    std::vector<Vec2> boundary;
    for (const Tag& t : tags) {
        switch (t.code) {
            case 10:
                at.x = t.real;
                break;
            case 20:
                at.y = t.real;
                break;
            case 11:
                u.x = t.real;
                break;
            case 21:
                u.y = t.real;
                break;
            case 12:
                v.x = t.real;
                break;
            case 22:
                v.y = t.real;
                break;
            case 13:
                size.x = t.real;
                break;
            case 23:
                size.y = t.real;
                break;
            case 280:
                clipped = t.integer != 0;
                break;
            case 14:
                boundary.push_back({t.real, 0.0});
                break;
            case 24:
                if (!boundary.empty()) boundary.back().y = t.real;
                break;
            default:
                break;
        }
    }
    if (!(size.x > 0.0) || !(size.y > 0.0)) return;  // no pixels: nothing to frame
    // Without clipping (or a boundary) the whole image: its pixels' outer edges.
    if (!clipped || boundary.size() < 2) {
        boundary = {{-0.5, -0.5}, size - Vec2{0.5, 0.5}};
    }
    if (boundary.size() == 2) {
        const Vec2 a = boundary[0];
        const Vec2 b = boundary[1];
        boundary = {a, {b.x, a.y}, b, {a.x, b.y}};
    }
    if (boundary.size() > 3 && boundary.front() == boundary.back()) boundary.pop_back();
    // Pixel (x, y) counts y down from the top edge: its centre lies half a pixel in.
    std::vector<Vec2> frame;
    frame.reserve(boundary.size());
    for (const Vec2 p : boundary) {
        const Vec2 q = at + (p.x + 0.5) * u + (size.y - p.y - 0.5) * v;
        if (!std::isfinite(q.x) || !std::isfinite(q.y)) return;
        frame.push_back(m(q));
    }
    AddPolyline(frame, true, res);
    for (const Vec2 p : frame) Snap(p, UnderlayPointKind::End, res);
}

void Builder::UnderlayPoint(const std::vector<Tag>& tags, const Affine& m, const Resolved& res) {
    Vec2 at;
    for (const Tag& t : tags) {
        if (t.code == 10) at.x = t.real;
        if (t.code == 20) at.y = t.real;
    }
    Snap(m(at), UnderlayPointKind::Insertion, res);
}

}  // namespace pelimator::board::underlay
