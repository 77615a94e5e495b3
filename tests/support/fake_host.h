// A recording in-memory host for tests: every interface of the host layer, with a call log and
// failure injection.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"

namespace pelimator::fake {

// The shared call log.
//
// Every host call on a fake object appends one entry, in call order, of the form
//     Object.Operation            for a getter          "Point.X", "PointList.Count", "Arc.Center"
//     Object.Operation(args)      for anything else     "Point.SetX(5)", "PointList.Item(3)",
//                                                       "Arc.Rotate(180)", "Arc.Move(10, 20)",
//                                                       "Drawing.BeginEdit(波線追加)",
//                                                       "Drawing.EndEdit(true)", "Drawing.Add(Arc)"
// Object is the interface name without "Host": Application, Documents, Document, View, Drawing,
// Layers, Layer, CurrentAttributes, Scale, Snap, Tool, Point, PointList, Curve, Line, Arc, Factory
// ("Factory.CreateArc"). Numbers are written in their shortest exact form ("2.5", "-3", "1e+20"),
// booleans as true/false, points as "(x, y)". Fake-only helpers used by tests (inspection,
// Fire* events) are not recorded.
//
// Failure injection: FailAt(k) makes the k-th recorded call (1-based, counting from the log's
// creation or last Clear) raise HostError after being logged and before it has any effect;
// FailFrom(k) makes the k-th and every later call fail.
class CallLog {
public:
    void Record(std::string call);
    // As Record, but the text is only built when recording is on (benchmarks turn it off).
    void Record(const char* call) {
        if (m_recording) {
            Record(std::string(call));
        } else {
            Count(nullptr);
        }
    }
    template <typename MakeText>
    void RecordWith(MakeText&& makeText) {
        if (m_recording) {
            Record(makeText());
        } else {
            Count(nullptr);
        }
    }
    void FailAt(std::int64_t callNumber) { m_failAt = callNumber; }
    void FailFrom(std::int64_t callNumber) { m_failFrom = callNumber; }
    void Clear() {
        m_calls.clear();
        m_count = 0;
        m_failAt = 0;
        m_failFrom = 0;
    }
    // With recording off, calls are only counted (benchmarks); failure injection still works.
    void SetRecording(bool on) { m_recording = on; }
    [[nodiscard]] const std::vector<std::string>& Calls() const { return m_calls; }
    [[nodiscard]] std::int64_t Count() const { return m_count; }

private:
    // Counts a call and raises the injected failure; call names it when known.
    void Count(const std::string* call);
    std::vector<std::string> m_calls;
    std::int64_t m_count = 0;
    std::int64_t m_failAt = 0;
    std::int64_t m_failFrom = 0;
    bool m_recording = true;
};
using CallLogPtr = std::shared_ptr<CallLog>;

// Shortest exact text of a number, as the log writes it.
std::string Num(double value);

class FakePoint final : public host::HostPoint {
public:
    FakePoint(CallLogPtr log, double x, double y) : m_log(std::move(log)), m_x(x), m_y(y) {}
    [[nodiscard]] double X() const override;
    void SetX(double x) override;
    [[nodiscard]] double Y() const override;
    void SetY(double y) override;
    // Unrecorded access for tests and for the fake's own transformations.
    [[nodiscard]] double PeekX() const { return m_x; }
    [[nodiscard]] double PeekY() const { return m_y; }
    void Put(double x, double y) {
        m_x = x;
        m_y = y;
    }

private:
    CallLogPtr m_log;
    double m_x;
    double m_y;
};
using FakePointPtr = std::shared_ptr<FakePoint>;

// Item hands out the live point object of the entry.
class FakePointList final : public host::HostPointList {
public:
    explicit FakePointList(CallLogPtr log) : m_log(std::move(log)) {}
    [[nodiscard]] host::HostPointPtr Item(std::int32_t index) const override;
    [[nodiscard]] std::int32_t Count() const override;
    void Add(double x, double y) override;
    void Remove(std::int32_t index) override;

    // Unrecorded helpers for tests.
    void Put(std::vector<std::pair<double, double>> points);
    [[nodiscard]] std::vector<std::pair<double, double>> Peek() const;

private:
    CallLogPtr m_log;
    std::vector<FakePointPtr> m_points;
};
using FakePointListPtr = std::shared_ptr<FakePointList>;

// A plain copy of an entity's state, for comparing drawings before and after.
struct EntityState {
    enum class Kind { Line, Arc, Curve } kind = Kind::Line;
    bool visible = false;
    std::int32_t layer = 0;
    std::int32_t style = 0;
    std::int32_t subStyle = 0;
    double startX = 0, startY = 0, endX = 0, endY = 0;  // lines and arcs
    double centerX = 0, centerY = 0, radius = 0;        // arcs
    std::vector<std::pair<double, double>> points;      // curves
    std::int16_t curveKind = 0;                         // curves
    bool operator==(const EntityState&) const = default;
};

class FakeEntityBase {
public:
    virtual ~FakeEntityBase() = default;
    [[nodiscard]] virtual EntityState State() const = 0;
    // A free-standing copy recording into the same log.
    [[nodiscard]] virtual host::HostEntityPtr Copy() const = 0;
};

class FakeLine : public host::HostLine, public FakeEntityBase {
public:
    explicit FakeLine(CallLogPtr log, const char* name = "Line");
    [[nodiscard]] bool Visible() const override;
    void SetVisible(bool visible) override;
    [[nodiscard]] std::int32_t Layer() const override;
    void SetLayer(std::int32_t layer) override;
    [[nodiscard]] std::int32_t Style() const override;
    void SetStyle(std::int32_t style) override;
    [[nodiscard]] std::int32_t SubStyle() const override;
    void SetSubStyle(std::int32_t subStyle) override;
    [[nodiscard]] host::HostPointPtr StartPoint() override;
    [[nodiscard]] host::HostPointPtr EndPoint() override;
    [[nodiscard]] EntityState State() const override;
    [[nodiscard]] host::HostEntityPtr Copy() const override;

    // Unrecorded access for the fake's own copies and transformations.
    void CopyLineStateFrom(const FakeLine& other);
    [[nodiscard]] FakePoint* StartPointObject() const { return m_start.get(); }
    [[nodiscard]] FakePoint* EndPointObject() const { return m_end.get(); }

private:
    CallLogPtr m_log;
    const char* m_name;
    bool m_visible = false;
    std::int32_t m_layer = 0;
    std::int32_t m_style = 0;
    std::int32_t m_subStyle = 0;
    FakePointPtr m_start;
    FakePointPtr m_end;
};

// Arcs run counter-clockwise from StartPoint to EndPoint about Center. Rotate by a whole multiple
// of 90° is exact, so tests can compare placed arcs exactly.
class FakeArc final : public host::HostArc, public FakeEntityBase {
public:
    explicit FakeArc(CallLogPtr log);
    [[nodiscard]] bool Visible() const override { return m_line.Visible(); }
    void SetVisible(bool visible) override { m_line.SetVisible(visible); }
    [[nodiscard]] std::int32_t Layer() const override { return m_line.Layer(); }
    void SetLayer(std::int32_t layer) override { m_line.SetLayer(layer); }
    [[nodiscard]] std::int32_t Style() const override { return m_line.Style(); }
    void SetStyle(std::int32_t style) override { m_line.SetStyle(style); }
    [[nodiscard]] std::int32_t SubStyle() const override { return m_line.SubStyle(); }
    void SetSubStyle(std::int32_t subStyle) override { m_line.SetSubStyle(subStyle); }
    [[nodiscard]] host::HostPointPtr StartPoint() override { return m_line.StartPoint(); }
    [[nodiscard]] host::HostPointPtr EndPoint() override { return m_line.EndPoint(); }
    [[nodiscard]] host::HostPointPtr Center() override;
    [[nodiscard]] double Radius() const override;
    void SetRadius(double radius) override;
    [[nodiscard]] host::HostArcPtr Clone() const override;
    void Move(double dx, double dy) override;
    void Rotate(const host::HostPoint& centre, double degrees) override;
    [[nodiscard]] EntityState State() const override;
    [[nodiscard]] host::HostEntityPtr Copy() const override;

private:
    std::shared_ptr<FakeArc> CopyUnrecorded() const;
    CallLogPtr m_log;
    FakeLine m_line;  // the line attributes and end points, recorded under "Arc"
    FakePointPtr m_center;
    double m_radius = 0.0;
};

// A curve: SetPoints copies the points whatever the kind (the kind is kept); Points hands out a
// fresh list each call, so changing it leaves the curve as it is.
class FakeCurve final : public host::HostCurve, public FakeEntityBase {
public:
    explicit FakeCurve(CallLogPtr log) : m_log(std::move(log)) {}
    [[nodiscard]] bool Visible() const override;
    void SetVisible(bool visible) override;
    void SetPoints(std::int16_t kind, const host::HostPointList& points) override;
    [[nodiscard]] host::HostPointListPtr Points() const override;
    [[nodiscard]] EntityState State() const override;
    [[nodiscard]] host::HostEntityPtr Copy() const override;
    [[nodiscard]] std::int16_t Kind() const { return m_kind; }

private:
    CallLogPtr m_log;
    bool m_visible = false;
    std::int16_t m_kind = 0;
    std::vector<std::pair<double, double>> m_points;
};

// A drawing: committed entities plus at most one open edit step. EndEdit(false) removes what was
// added since BeginEdit; nested BeginEdit, EndEdit without a step, and Add of an entity that is
// not a fake line, arc or curve raise HostError. Add outside an edit step is allowed.
class FakeDrawing final : public host::HostDrawing {
public:
    explicit FakeDrawing(CallLogPtr log) : m_log(std::move(log)) {}
    host::HostEntityPtr Add(const host::HostEntity& entity) override;
    void BeginEdit(const std::string& title) override;
    void EndEdit(bool commit) override;
    void Redraw(bool all) override;

    [[nodiscard]] const std::vector<host::HostEntityPtr>& Entities() const { return m_entities; }
    [[nodiscard]] std::vector<EntityState> Snapshot() const;
    // Titles of the committed edit steps, oldest first.
    [[nodiscard]] const std::vector<std::string>& Steps() const { return m_steps; }
    [[nodiscard]] bool EditOpen() const { return m_open; }
    [[nodiscard]] int RedrawCount() const { return m_redraws; }

private:
    CallLogPtr m_log;
    std::vector<host::HostEntityPtr> m_entities;
    std::vector<std::string> m_steps;
    std::string m_openTitle;
    std::size_t m_stepStart = 0;
    bool m_open = false;
    int m_redraws = 0;
};
using FakeDrawingPtr = std::shared_ptr<FakeDrawing>;

class FakeLayer final : public host::HostLayer {
public:
    FakeLayer(CallLogPtr log, std::int32_t number, std::string name, std::int32_t flags)
        : m_log(std::move(log)), m_number(number), m_name(std::move(name)), m_flags(flags) {}
    [[nodiscard]] std::int32_t Number() const override;
    [[nodiscard]] std::string Name() const override;
    [[nodiscard]] std::int32_t Flags() const { return m_flags; }
    [[nodiscard]] std::int32_t PeekNumber() const { return m_number; }
    [[nodiscard]] const std::string& PeekName() const { return m_name; }

private:
    CallLogPtr m_log;
    std::int32_t m_number;
    std::string m_name;
    std::int32_t m_flags;
};

// Layers in the order added. Adding a number that exists raises HostError.
class FakeLayers final : public host::HostLayers {
public:
    explicit FakeLayers(CallLogPtr log) : m_log(std::move(log)) {}
    [[nodiscard]] std::int32_t IndexOf(std::int32_t number) const override;
    host::HostLayerPtr Add(std::int32_t number, const std::string& name,
                           std::int32_t flags) override;
    [[nodiscard]] const std::vector<std::shared_ptr<FakeLayer>>& All() const { return m_layers; }
    void Put(std::int32_t number, const std::string& name);  // unrecorded

private:
    CallLogPtr m_log;
    std::vector<std::shared_ptr<FakeLayer>> m_layers;
};

class FakeCurrentAttributes final : public host::HostCurrentAttributes {
public:
    explicit FakeCurrentAttributes(CallLogPtr log) : m_log(std::move(log)) {}
    [[nodiscard]] std::int32_t Layer() const override;
    void SetLayer(std::int32_t layer) override;
    void Put(std::int32_t layer) { m_layer = layer; }

private:
    CallLogPtr m_log;
    std::int32_t m_layer = 0;
};

// Scale 1:1 unless told otherwise.
class FakeScale final : public host::HostScale {
public:
    explicit FakeScale(CallLogPtr log) : m_log(std::move(log)) {}
    [[nodiscard]] std::int32_t Numerator() const override;
    void SetNumerator(std::int32_t value) override;
    [[nodiscard]] std::int32_t Denominator() const override;
    void SetDenominator(std::int32_t value) override;
    void Put(std::int32_t numerator, std::int32_t denominator) {
        m_numerator = numerator;
        m_denominator = denominator;
    }

private:
    CallLogPtr m_log;
    std::int32_t m_numerator = 1;
    std::int32_t m_denominator = 1;
};

// Accepts every point unchanged unless told to refuse or to move points to a fixed place.
class FakeSnap final : public host::HostSnap {
public:
    explicit FakeSnap(CallLogPtr log) : m_log(std::move(log)) {}
    bool SnapPoint(host::HostPoint& point, const host::HostView& view) override;
    void Refuse(bool refuse) { m_refuse = refuse; }
    void MoveTo(std::optional<std::pair<double, double>> target) { m_target = target; }

private:
    CallLogPtr m_log;
    bool m_refuse = false;
    std::optional<std::pair<double, double>> m_target;
};

class FakeDocuments;

class FakeDocument final : public host::HostDocument,
                           public std::enable_shared_from_this<FakeDocument> {
public:
    FakeDocument(CallLogPtr log, std::string name, std::weak_ptr<FakeDocuments> owner);
    [[nodiscard]] host::HostDrawingPtr Drawing() override;
    [[nodiscard]] host::HostLayersPtr Layers() override;
    [[nodiscard]] host::HostCurrentAttributesPtr CurrentAttributes() override;
    [[nodiscard]] host::HostScalePtr Scale() override;
    [[nodiscard]] host::DrawingUnit Unit() override;
    [[nodiscard]] host::HostSnapPtr Snap() override;
    void Activate() override;
    [[nodiscard]] host::HostPointListPtr PathAlong(const host::HostPoint& point,
                                                   const host::HostView& view) override;

    // Unrecorded access for tests.
    [[nodiscard]] const std::string& Name() const { return m_name; }
    // What PathAlong answers (nothing: null).
    void SetPathAlong(std::vector<std::pair<double, double>> points) {
        m_pathAlong = std::move(points);
    }
    [[nodiscard]] const FakeDrawingPtr& GetDrawing() const { return m_drawing; }
    [[nodiscard]] const std::shared_ptr<FakeLayers>& GetLayers() const { return m_layers; }
    [[nodiscard]] const std::shared_ptr<FakeCurrentAttributes>& GetAttributes() const {
        return m_attributes;
    }
    [[nodiscard]] const std::shared_ptr<FakeScale>& GetScale() const { return m_scale; }
    [[nodiscard]] const std::shared_ptr<FakeSnap>& GetSnap() const { return m_snap; }
    // What Unit answers (millimetres, no symbol, unless set).
    void SetUnit(host::DrawingUnit unit) { m_unit = std::move(unit); }

private:
    CallLogPtr m_log;
    std::string m_name;
    std::weak_ptr<FakeDocuments> m_owner;
    std::vector<std::pair<double, double>> m_pathAlong;
    FakeDrawingPtr m_drawing;
    std::shared_ptr<FakeLayers> m_layers;
    std::shared_ptr<FakeCurrentAttributes> m_attributes;
    std::shared_ptr<FakeScale> m_scale;
    std::shared_ptr<FakeSnap> m_snap;
    host::DrawingUnit m_unit;
};
using FakeDocumentPtr = std::shared_ptr<FakeDocument>;

class FakeView final : public host::HostView {
public:
    FakeView(CallLogPtr log, FakeDocumentPtr document)
        : m_log(std::move(log)), m_document(std::move(document)) {}
    [[nodiscard]] host::HostDocumentPtr Document() const override;
    [[nodiscard]] const FakeDocumentPtr& GetDocument() const { return m_document; }

private:
    CallLogPtr m_log;
    FakeDocumentPtr m_document;
};
using FakeViewPtr = std::shared_ptr<FakeView>;

// The open documents; Add makes the new one active.
class FakeDocuments final : public host::HostDocuments,
                            public std::enable_shared_from_this<FakeDocuments> {
public:
    explicit FakeDocuments(CallLogPtr log) : m_log(std::move(log)) {}
    [[nodiscard]] std::int32_t Count() const override;
    host::HostDocumentPtr Add(const std::string& name) override;

    // Unrecorded helpers for tests.
    FakeDocumentPtr Put(const std::string& name);
    [[nodiscard]] const std::vector<FakeDocumentPtr>& All() const { return m_documents; }
    [[nodiscard]] FakeDocumentPtr Active() const { return m_active.lock(); }
    void SetActive(const FakeDocumentPtr& document) { m_active = document; }

private:
    CallLogPtr m_log;
    std::vector<FakeDocumentPtr> m_documents;
    std::weak_ptr<FakeDocument> m_active;
};

class FakeApplication final : public host::HostApplication {
public:
    explicit FakeApplication(CallLogPtr log);
    [[nodiscard]] bool Visible() const override;
    void SetVisible(bool visible) override;
    [[nodiscard]] host::HostDocumentsPtr Documents() override;
    [[nodiscard]] host::HostDocumentPtr ActiveDocument() override;
    [[nodiscard]] const std::shared_ptr<FakeDocuments>& GetDocuments() const { return m_documents; }
    [[nodiscard]] bool PeekVisible() const { return m_visible; }

private:
    CallLogPtr m_log;
    bool m_visible = false;
    std::shared_ptr<FakeDocuments> m_documents;
};
using FakeApplicationPtr = std::shared_ptr<FakeApplication>;

// The interactive tool. Start answers with RapidTool_Connect and Stop with RapidTool_DisConnect
// on a view of the active document (when a sink is set and answering is on). Tests fire the
// other events with the Fire* helpers; they reach the sink on the same view.
class FakeTool final : public host::HostTool {
public:
    struct Mark {
        std::int32_t kind;
        double x;
        double y;
        host::HostDocumentPtr document;
    };

    FakeTool(CallLogPtr log, FakeApplicationPtr application);
    void SetEventSink(host::HostToolEvents* sink) override;
    [[nodiscard]] std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    void Start() override;
    void Stop() override;
    void Attach(std::int32_t mode, const host::HostViewPtr& view) override;
    void AddMark(std::int32_t kind, const host::HostPoint& point,
                 const host::HostDocumentPtr& document) override;
    void RemoveMark() override;
    void ClearMarks() override;
    void ShowRubber(const host::HostEntityPtr& entity) override;
    void ShowPreview(const std::vector<host::HostEntityPtr>& entities,
                     const std::vector<host::HostEntityPtr>& atCursor) override;
    [[nodiscard]] std::int16_t ClickShift() const override { return m_clickShift; }

    // Test side.
    void AnswerStartStop(bool on) { m_answer = on; }
    [[nodiscard]] bool Running() const { return m_running; }
    [[nodiscard]] const std::vector<Mark>& Marks() const { return m_marks; }
    [[nodiscard]] const host::HostEntityPtr& Rubber() const { return m_rubber; }
    // What finishing now (Enter) would draw, and what a double click at the cursor would.
    [[nodiscard]] const std::vector<host::HostEntityPtr>& Preview() const { return m_preview; }
    [[nodiscard]] const std::vector<host::HostEntityPtr>& PreviewAtCursor() const {
        return m_previewAtCursor;
    }
    [[nodiscard]] host::HostToolEvents* Sink() const { return m_sink; }
    // The view events come from: one per active document, kept while it stays active.
    FakeViewPtr View();
    void FireConnect();
    void FireDisConnect();
    std::int16_t FireIsSnapOperation();
    void FireLButtonDown(double x, double y);
    // LButtonDown with Shift held.
    void FireShiftLButtonDown(double x, double y);
    void FireLButtonDblck(double x, double y);
    void FireKeyDown(std::int16_t keyCode, std::int16_t shift);
    void FireBackOperation();
    void FireMouseMove(double x, double y);
    void FireRubberDisp();

private:
    host::HostToolEvents& RequireSink() const;
    CallLogPtr m_log;
    FakeApplicationPtr m_application;
    FakeViewPtr m_view;
    host::HostToolEvents* m_sink = nullptr;
    std::string m_caption;
    bool m_answer = true;
    bool m_running = false;
    std::vector<Mark> m_marks;
    host::HostEntityPtr m_rubber;
    std::vector<host::HostEntityPtr> m_preview;
    std::vector<host::HostEntityPtr> m_previewAtCursor;
    std::int16_t m_clickShift = 0;
};
using FakeToolPtr = std::shared_ptr<FakeTool>;

// Creates fake objects that all record into one log. CreateApplication hands out the same
// application every time (the running host), so a test can prepare its documents first.
class FakeFactory final : public host::HostFactory {
public:
    FakeFactory();
    [[nodiscard]] host::HostApplicationPtr CreateApplication() override;
    [[nodiscard]] host::HostToolPtr CreateTool() override;
    [[nodiscard]] host::HostPointPtr CreatePoint() override;
    [[nodiscard]] host::HostPointListPtr CreatePointList() override;
    [[nodiscard]] host::HostCurvePtr CreateCurve() override;
    [[nodiscard]] host::HostLinePtr CreateLine() override;
    [[nodiscard]] host::HostArcPtr CreateArc() override;

    [[nodiscard]] const CallLogPtr& Log() const { return m_log; }
    [[nodiscard]] const FakeApplicationPtr& Application() const { return m_application; }
    // The tool made by the latest CreateTool, or null.
    [[nodiscard]] const FakeToolPtr& LastTool() const { return m_lastTool; }
    // Unrecorded conveniences for tests.
    [[nodiscard]] FakePointListPtr MakePointList(
        std::vector<std::pair<double, double>> points) const;
    [[nodiscard]] FakeDrawingPtr MakeDrawing() const;

private:
    CallLogPtr m_log;
    FakeApplicationPtr m_application;
    FakeToolPtr m_lastTool;
};

}  // namespace pelimator::fake
