// The abstract host layer: every CAD host object the tool talks to, and the factory that makes
// them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelimator::host {

// Status output of the Qt-free code: one UTF-8 line replacing the previous one.
using StatusSink = std::function<void(std::string_view)>;

class HostDocument;
class HostView;

// A point in drawing units. Points handed out by entities and lists are live: setting X or Y moves
// the point of the object that handed it out.
class HostPoint {
public:
    virtual ~HostPoint() = default;
    [[nodiscard]] virtual double X() const = 0;
    virtual void SetX(double x) = 0;
    [[nodiscard]] virtual double Y() const = 0;
    virtual void SetY(double y) = 0;
};
using HostPointPtr = std::shared_ptr<HostPoint>;

// An ordered list of points, indexed from 0 with signed 32-bit indices. Item(i) gives the live
// point at i; an index outside 0..Count()-1 raises HostError.
class HostPointList {
public:
    virtual ~HostPointList() = default;
    [[nodiscard]] virtual HostPointPtr Item(std::int32_t index) const = 0;
    [[nodiscard]] virtual std::int32_t Count() const = 0;
    virtual void Add(double x, double y) = 0;
    virtual void Remove(std::int32_t index) = 0;
};
using HostPointListPtr = std::shared_ptr<HostPointList>;

// Anything a drawing holds or the tool shows as a rubber band.
class HostEntity {
public:
    virtual ~HostEntity() = default;
    [[nodiscard]] virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
};
using HostEntityPtr = std::shared_ptr<HostEntity>;

// A straight line. StartPoint and EndPoint are live points of the line.
class HostLine : public HostEntity {
public:
    [[nodiscard]] virtual std::int32_t Layer() const = 0;
    virtual void SetLayer(std::int32_t layer) = 0;
    [[nodiscard]] virtual std::int32_t Style() const = 0;
    virtual void SetStyle(std::int32_t style) = 0;
    [[nodiscard]] virtual std::int32_t SubStyle() const = 0;
    virtual void SetSubStyle(std::int32_t subStyle) = 0;
    [[nodiscard]] virtual HostPointPtr StartPoint() = 0;
    [[nodiscard]] virtual HostPointPtr EndPoint() = 0;
};
using HostLinePtr = std::shared_ptr<HostLine>;

class HostArc;
using HostArcPtr = std::shared_ptr<HostArc>;

// A circular arc: it runs counter-clockwise (Y up) from StartPoint to EndPoint about Center. It has
// a line's attributes, so it is declared as one; the stored Radius is kept as set.
class HostArc : public HostLine {
public:
    [[nodiscard]] virtual HostPointPtr Center() = 0;
    [[nodiscard]] virtual double Radius() const = 0;
    virtual void SetRadius(double radius) = 0;
    // A free-standing copy with all attributes and points.
    [[nodiscard]] virtual HostArcPtr Clone() const = 0;
    virtual void Move(double dx, double dy) = 0;
    // Turns every point about centre; degrees, positive counter-clockwise.
    virtual void Rotate(const HostPoint& centre, double degrees) = 0;
};

// Path kinds of HostCurve::SetPoints.
enum class CurveKind : std::int16_t { Polyline = 0, NearPoints = 1, ThroughPoints = 2 };

// A curve built by the host from picked points; Points() is its flattened point sequence.
class HostCurve : public HostEntity {
public:
    virtual void SetPoints(std::int16_t kind, const HostPointList& points) = 0;
    [[nodiscard]] virtual HostPointListPtr Points() const = 0;
};
using HostCurvePtr = std::shared_ptr<HostCurve>;

class HostDrawing {
public:
    virtual ~HostDrawing() = default;
    // Inserts a copy of entity and returns the inserted one.
    virtual HostEntityPtr Add(const HostEntity& entity) = 0;
    virtual void BeginEdit(const std::string& title) = 0;
    // commit true: everything added since BeginEdit is one undo step; false: it is discarded.
    virtual void EndEdit(bool commit) = 0;
    virtual void Redraw(bool all) = 0;
};
using HostDrawingPtr = std::shared_ptr<HostDrawing>;

class HostLayer {
public:
    virtual ~HostLayer() = default;
    [[nodiscard]] virtual std::int32_t Number() const = 0;
    [[nodiscard]] virtual std::string Name() const = 0;
};
using HostLayerPtr = std::shared_ptr<HostLayer>;

class HostLayers {
public:
    virtual ~HostLayers() = default;
    // Index of the layer with this number, or -1 when the drawing has none.
    [[nodiscard]] virtual std::int32_t IndexOf(std::int32_t number) const = 0;
    virtual HostLayerPtr Add(std::int32_t number, const std::string& name, std::int32_t flags) = 0;
};
using HostLayersPtr = std::shared_ptr<HostLayers>;

class HostCurrentAttributes {
public:
    virtual ~HostCurrentAttributes() = default;
    [[nodiscard]] virtual std::int32_t Layer() const = 0;
    virtual void SetLayer(std::int32_t layer) = 0;
};
using HostCurrentAttributesPtr = std::shared_ptr<HostCurrentAttributes>;

// Drawing scale Numerator:Denominator (1:100 is Numerator 1, Denominator 100).
class HostScale {
public:
    virtual ~HostScale() = default;
    [[nodiscard]] virtual std::int32_t Numerator() const = 0;
    virtual void SetNumerator(std::int32_t value) = 0;
    [[nodiscard]] virtual std::int32_t Denominator() const = 0;
    virtual void SetDenominator(std::int32_t value) = 0;
};
using HostScalePtr = std::shared_ptr<HostScale>;

class HostSnap {
public:
    virtual ~HostSnap() = default;
    // May replace point with the snapped one; false rejects the pick.
    virtual bool SnapPoint(HostPoint& point, const HostView& view) = 0;
};
using HostSnapPtr = std::shared_ptr<HostSnap>;

// What one drawing unit is. Lengths of the settings are paper millimetres; at scale 1:N they are
// N times as many real millimetres, that is N ÷ millimetres drawing units.
struct DrawingUnit {
    double millimetres = 1.0;  // 1 for millimetres and for a drawing that names no unit
    std::string symbol;        // for texts: "mm", "m", "in", ...; empty when it names none
};

class HostDocument {
public:
    virtual ~HostDocument() = default;
    [[nodiscard]] virtual HostDrawingPtr Drawing() = 0;
    [[nodiscard]] virtual HostLayersPtr Layers() = 0;
    [[nodiscard]] virtual HostCurrentAttributesPtr CurrentAttributes() = 0;
    [[nodiscard]] virtual HostScalePtr Scale() = 0;
    // The drawing's unit of length.
    [[nodiscard]] virtual DrawingUnit Unit() = 0;
    [[nodiscard]] virtual HostSnapPtr Snap() = 0;
    virtual void Activate() = 0;
    // The path along the drawing's line, arc or polyline at point (the one nearest to it within
    // the view's pick radius, with the entities joined to it end to end on its layer), flattened
    // within the host's curve tolerance and running from the end nearer point; a closed one ends
    // on its first point again. Null when nothing is there.
    [[nodiscard]] virtual HostPointListPtr PathAlong(const HostPoint& point,
                                                     const HostView& view) = 0;
};
using HostDocumentPtr = std::shared_ptr<HostDocument>;

class HostView {
public:
    virtual ~HostView() = default;
    [[nodiscard]] virtual HostDocumentPtr Document() const = 0;
};
using HostViewPtr = std::shared_ptr<HostView>;

class HostDocuments {
public:
    virtual ~HostDocuments() = default;
    [[nodiscard]] virtual std::int32_t Count() const = 0;
    virtual HostDocumentPtr Add(const std::string& name) = 0;
};
using HostDocumentsPtr = std::shared_ptr<HostDocuments>;

class HostApplication {
public:
    virtual ~HostApplication() = default;
    [[nodiscard]] virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
    [[nodiscard]] virtual HostDocumentsPtr Documents() = 0;
    // The active document, or null when none is open.
    [[nodiscard]] virtual HostDocumentPtr ActiveDocument() = 0;
};
using HostApplicationPtr = std::shared_ptr<HostApplication>;

// The events of a running tool, implemented by the tool's main window. Names are the host's.
// Boolean flags crossing here are 16-bit with True = -1, as the host defines them.
class HostToolEvents {
public:
    virtual ~HostToolEvents() = default;
    virtual void RapidTool_Connect(const HostViewPtr& vw) = 0;
    virtual void RapidTool_DisConnect(const HostViewPtr& vw) = 0;
    virtual void RapidTool_IsSnapOperation(std::int16_t& bSnap) = 0;
    virtual void RapidTool_LButtonDown(const HostViewPtr& vw, const HostPointPtr& DownPoint) = 0;
    virtual void RapidTool_LButtonDblck(const HostViewPtr& vw, const HostPointPtr& DownPoint) = 0;
    virtual void RapidTool_KeyDown(const HostViewPtr& vw, std::int16_t KeyCode,
                                   std::int16_t Shift) = 0;
    virtual void RapidTool_BackOperation(const HostViewPtr& vw) = 0;
    virtual void RapidTool_MouseMove(const HostViewPtr& vw, const HostPointPtr& MovePoint) = 0;
    virtual void RapidTool_RubberDisp(const HostViewPtr& vw) = 0;
};

// The host's interactive tool object. Its events go to the sink set with SetEventSink; the sink
// must stay alive while it is set (set null before it goes).
class HostTool {
public:
    virtual ~HostTool() = default;
    virtual void SetEventSink(HostToolEvents* sink) = 0;
    [[nodiscard]] virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Start is answered by RapidTool_Connect on the active view, Stop by RapidTool_DisConnect.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual void Attach(std::int32_t mode, const HostViewPtr& view) = 0;
    virtual void AddMark(std::int32_t kind, const HostPoint& point,
                         const HostDocumentPtr& document) = 0;
    // Drops the newest mark.
    virtual void RemoveMark() = 0;
    virtual void ClearMarks() = 0;
    virtual void ShowRubber(const HostEntityPtr& entity) = 0;
    // Shows entities (lines and arcs the host's factory made) in a light style where the rubber
    // band is shown, as what the tool would add when finished now (Enter), and atCursor, in a
    // lighter style beneath them, as what it would add instead when finished at the cursor (a
    // double click there). Two empty lists hide the preview. They are never part of the
    // drawing. ClearMarks hides them too.
    virtual void ShowPreview(const std::vector<HostEntityPtr>& entities,
                             const std::vector<HostEntityPtr>& atCursor) = 0;
    // The shift state of the click RapidTool_LButtonDown is reporting, as KeyDown's Shift
    // (1 when Shift was held); 0 outside such an event.
    [[nodiscard]] virtual std::int16_t ClickShift() const = 0;
};
using HostToolPtr = std::shared_ptr<HostTool>;

// The one way the tool creates host objects, so the board, a test fake or another host can serve.
class HostFactory {
public:
    virtual ~HostFactory() = default;
    [[nodiscard]] virtual HostApplicationPtr CreateApplication() = 0;
    [[nodiscard]] virtual HostToolPtr CreateTool() = 0;
    [[nodiscard]] virtual HostPointPtr CreatePoint() = 0;
    [[nodiscard]] virtual HostPointListPtr CreatePointList() = 0;
    [[nodiscard]] virtual HostCurvePtr CreateCurve() = 0;
    [[nodiscard]] virtual HostLinePtr CreateLine() = 0;
    [[nodiscard]] virtual HostArcPtr CreateArc() = 0;
};

}  // namespace pelimator::host
