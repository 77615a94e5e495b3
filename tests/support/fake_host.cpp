// The recording in-memory host.
#include "support/fake_host.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <utility>

#include "host/errors.h"

namespace pelimator::fake {

namespace {

std::string Call(const char* object, const char* operation) {
    return std::string(object) + "." + operation;
}

std::string Call(const char* object, const char* operation, const std::string& args) {
    return std::string(object) + "." + operation + "(" + args + ")";
}

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string Int(std::int64_t value) { return std::to_string(value); }

// Exact cosine and sine for whole multiples of 90°, so placed test geometry compares exactly.
void CosSinDegrees(double degrees, double& c, double& s) {
    const double turns = degrees / 90.0;
    if (std::isfinite(turns) && turns == std::floor(turns) && std::abs(turns) < 1e9) {
        const auto quarter = static_cast<long long>(turns) % 4;
        static constexpr double kCos[4] = {1, 0, -1, 0};
        static constexpr double kSin[4] = {0, 1, 0, -1};
        const auto index = static_cast<std::size_t>((quarter + 4) % 4);
        c = kCos[index];
        s = kSin[index];
        return;
    }
    const double radians = degrees * std::numbers::pi / 180.0;
    c = std::cos(radians);
    s = std::sin(radians);
}

void RotateAbout(FakePoint& point, double cx, double cy, double c, double s) {
    const double dx = point.PeekX() - cx;
    const double dy = point.PeekY() - cy;
    point.Put(cx + c * dx - s * dy, cy + s * dx + c * dy);
}

}  // namespace

std::string Num(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;  // 64 bytes hold any double
    return {buffer, end};
}

void CallLog::Record(std::string call) {
    if (m_recording) m_calls.push_back(call);
    Count(&call);
}

void CallLog::Count(const std::string* call) {
    ++m_count;
    if (m_count == m_failAt || (m_failFrom > 0 && m_count >= m_failFrom)) {
        throw HostError("ホストの呼び出しに失敗しました (試験用の注入: " +
                        (call != nullptr ? *call : "呼び出し " + std::to_string(m_count)) + ")");
    }
}

// --- points ---

double FakePoint::X() const {
    m_log->Record("Point.X");
    return m_x;
}
void FakePoint::SetX(double x) {
    m_log->RecordWith([&] { return Call("Point", "SetX", Num(x)); });
    m_x = x;
}
double FakePoint::Y() const {
    m_log->Record("Point.Y");
    return m_y;
}
void FakePoint::SetY(double y) {
    m_log->RecordWith([&] { return Call("Point", "SetY", Num(y)); });
    m_y = y;
}

host::HostPointPtr FakePointList::Item(std::int32_t index) const {
    m_log->RecordWith([&] { return Call("PointList", "Item", Int(index)); });
    if (index < 0 || static_cast<std::size_t>(index) >= m_points.size()) {
        throw HostError("点リストの番号が範囲外です: " + Int(index));
    }
    return m_points[static_cast<std::size_t>(index)];
}
std::int32_t FakePointList::Count() const {
    m_log->Record("PointList.Count");
    return static_cast<std::int32_t>(m_points.size());
}
void FakePointList::Add(double x, double y) {
    m_log->RecordWith([&] { return Call("PointList", "Add", Num(x) + ", " + Num(y)); });
    m_points.push_back(std::make_shared<FakePoint>(m_log, x, y));
}
void FakePointList::Remove(std::int32_t index) {
    m_log->RecordWith([&] { return Call("PointList", "Remove", Int(index)); });
    if (index < 0 || static_cast<std::size_t>(index) >= m_points.size()) {
        throw HostError("点リストの番号が範囲外です: " + Int(index));
    }
    m_points.erase(m_points.begin() + index);
}
void FakePointList::Put(std::vector<std::pair<double, double>> points) {
    m_points.clear();
    for (auto [x, y] : points) m_points.push_back(std::make_shared<FakePoint>(m_log, x, y));
}
std::vector<std::pair<double, double>> FakePointList::Peek() const {
    std::vector<std::pair<double, double>> out;
    out.reserve(m_points.size());
    for (const auto& p : m_points) out.emplace_back(p->PeekX(), p->PeekY());
    return out;
}

// --- lines ---

FakeLine::FakeLine(CallLogPtr log, const char* name)
    : m_log(std::move(log)),
      m_name(name),
      m_start(std::make_shared<FakePoint>(m_log, 0.0, 0.0)),
      m_end(std::make_shared<FakePoint>(m_log, 0.0, 0.0)) {}

bool FakeLine::Visible() const {
    m_log->RecordWith([&] { return Call(m_name, "Visible"); });
    return m_visible;
}
void FakeLine::SetVisible(bool visible) {
    m_log->RecordWith([&] { return Call(m_name, "SetVisible", Bool(visible)); });
    m_visible = visible;
}
std::int32_t FakeLine::Layer() const {
    m_log->RecordWith([&] { return Call(m_name, "Layer"); });
    return m_layer;
}
void FakeLine::SetLayer(std::int32_t layer) {
    m_log->RecordWith([&] { return Call(m_name, "SetLayer", Int(layer)); });
    m_layer = layer;
}
std::int32_t FakeLine::Style() const {
    m_log->RecordWith([&] { return Call(m_name, "Style"); });
    return m_style;
}
void FakeLine::SetStyle(std::int32_t style) {
    m_log->RecordWith([&] { return Call(m_name, "SetStyle", Int(style)); });
    m_style = style;
}
std::int32_t FakeLine::SubStyle() const {
    m_log->RecordWith([&] { return Call(m_name, "SubStyle"); });
    return m_subStyle;
}
void FakeLine::SetSubStyle(std::int32_t subStyle) {
    m_log->RecordWith([&] { return Call(m_name, "SetSubStyle", Int(subStyle)); });
    m_subStyle = subStyle;
}
host::HostPointPtr FakeLine::StartPoint() {
    m_log->RecordWith([&] { return Call(m_name, "StartPoint"); });
    return m_start;
}
host::HostPointPtr FakeLine::EndPoint() {
    m_log->RecordWith([&] { return Call(m_name, "EndPoint"); });
    return m_end;
}
EntityState FakeLine::State() const {
    EntityState state;
    state.kind = EntityState::Kind::Line;
    state.visible = m_visible;
    state.layer = m_layer;
    state.style = m_style;
    state.subStyle = m_subStyle;
    state.startX = m_start->PeekX();
    state.startY = m_start->PeekY();
    state.endX = m_end->PeekX();
    state.endY = m_end->PeekY();
    return state;
}
void FakeLine::CopyLineStateFrom(const FakeLine& other) {
    m_visible = other.m_visible;
    m_layer = other.m_layer;
    m_style = other.m_style;
    m_subStyle = other.m_subStyle;
    m_start->Put(other.m_start->PeekX(), other.m_start->PeekY());
    m_end->Put(other.m_end->PeekX(), other.m_end->PeekY());
}
host::HostEntityPtr FakeLine::Copy() const {
    auto copy = std::make_shared<FakeLine>(m_log, m_name);
    copy->CopyLineStateFrom(*this);
    return copy;
}

// --- arcs ---

FakeArc::FakeArc(CallLogPtr log)
    : m_log(std::move(log)),
      m_line(m_log, "Arc"),
      m_center(std::make_shared<FakePoint>(m_log, 0.0, 0.0)) {}

host::HostPointPtr FakeArc::Center() {
    m_log->Record("Arc.Center");
    return m_center;
}
double FakeArc::Radius() const {
    m_log->Record("Arc.Radius");
    return m_radius;
}
void FakeArc::SetRadius(double radius) {
    m_log->RecordWith([&] { return Call("Arc", "SetRadius", Num(radius)); });
    m_radius = radius;
}
std::shared_ptr<FakeArc> FakeArc::CopyUnrecorded() const {
    auto copy = std::make_shared<FakeArc>(m_log);
    copy->m_line.CopyLineStateFrom(m_line);
    copy->m_center->Put(m_center->PeekX(), m_center->PeekY());
    copy->m_radius = m_radius;
    return copy;
}
host::HostArcPtr FakeArc::Clone() const {
    m_log->Record("Arc.Clone");
    return CopyUnrecorded();
}
host::HostEntityPtr FakeArc::Copy() const { return CopyUnrecorded(); }
void FakeArc::Move(double dx, double dy) {
    m_log->RecordWith([&] { return Call("Arc", "Move", Num(dx) + ", " + Num(dy)); });
    for (FakePoint* p : {m_line.StartPointObject(), m_line.EndPointObject(), m_center.get()}) {
        p->Put(p->PeekX() + dx, p->PeekY() + dy);
    }
}
void FakeArc::Rotate(const host::HostPoint& centre, double degrees) {
    // The centre is read without recording when it is a fake point: the host reads its own value.
    const auto* fakeCentre = dynamic_cast<const FakePoint*>(&centre);
    const double cx = fakeCentre != nullptr ? fakeCentre->PeekX() : centre.X();
    const double cy = fakeCentre != nullptr ? fakeCentre->PeekY() : centre.Y();
    m_log->RecordWith([&] {
        std::string args = "(";  // appended piecewise: GCC 12 warns falsely on "(" + string&&
        args.append(Num(cx)).append(", ").append(Num(cy)).append("), ").append(Num(degrees));
        return Call("Arc", "Rotate", args);
    });
    double c = 0.0;
    double s = 0.0;
    CosSinDegrees(degrees, c, s);
    for (FakePoint* p : {m_line.StartPointObject(), m_line.EndPointObject(), m_center.get()}) {
        RotateAbout(*p, cx, cy, c, s);
    }
}
EntityState FakeArc::State() const {
    EntityState state = m_line.State();
    state.kind = EntityState::Kind::Arc;
    state.centerX = m_center->PeekX();
    state.centerY = m_center->PeekY();
    state.radius = m_radius;
    return state;
}

// --- curves ---

bool FakeCurve::Visible() const {
    m_log->Record("Curve.Visible");
    return m_visible;
}
void FakeCurve::SetVisible(bool visible) {
    m_log->RecordWith([&] { return Call("Curve", "SetVisible", Bool(visible)); });
    m_visible = visible;
}
void FakeCurve::SetPoints(std::int16_t kind, const host::HostPointList& points) {
    m_log->RecordWith([&] { return Call("Curve", "SetPoints", Int(kind)); });
    // The points are read through the list's own interface, as a host would.
    std::vector<std::pair<double, double>> copied;
    const std::int32_t count = points.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        auto p = points.Item(i);
        copied.emplace_back(p->X(), p->Y());
    }
    m_kind = kind;
    m_points = std::move(copied);
}
host::HostPointListPtr FakeCurve::Points() const {
    m_log->Record("Curve.Points");
    auto list = std::make_shared<FakePointList>(m_log);
    list->Put(m_points);
    return list;
}
EntityState FakeCurve::State() const {
    EntityState state;
    state.kind = EntityState::Kind::Curve;
    state.visible = m_visible;
    state.points = m_points;
    state.curveKind = m_kind;
    return state;
}
host::HostEntityPtr FakeCurve::Copy() const {
    auto copy = std::make_shared<FakeCurve>(m_log);
    copy->m_visible = m_visible;
    copy->m_kind = m_kind;
    copy->m_points = m_points;
    return copy;
}

// --- drawing ---

host::HostEntityPtr FakeDrawing::Add(const host::HostEntity& entity) {
    const auto* fake = dynamic_cast<const FakeEntityBase*>(&entity);
    const char* kind = "?";
    if (fake != nullptr) {
        switch (fake->State().kind) {
            case EntityState::Kind::Line:
                kind = "Line";
                break;
            case EntityState::Kind::Arc:
                kind = "Arc";
                break;
            case EntityState::Kind::Curve:
                kind = "Curve";
                break;
        }
    }
    m_log->RecordWith([&] { return Call("Drawing", "Add", kind); });
    if (fake == nullptr) throw HostError("この図形は図面に追加できません");
    auto copy = fake->Copy();
    m_entities.push_back(copy);
    return copy;
}
void FakeDrawing::BeginEdit(const std::string& title) {
    m_log->RecordWith([&] { return Call("Drawing", "BeginEdit", title); });
    if (m_open) throw HostError("編集が既に開始されています: " + m_openTitle);
    m_open = true;
    m_openTitle = title;
    m_stepStart = m_entities.size();
}
void FakeDrawing::EndEdit(bool commit) {
    m_log->RecordWith([&] { return Call("Drawing", "EndEdit", Bool(commit)); });
    if (!m_open) throw HostError("編集が開始されていません");
    if (commit) {
        m_steps.push_back(m_openTitle);
    } else {
        m_entities.resize(m_stepStart);
    }
    m_open = false;
    m_openTitle.clear();
}
void FakeDrawing::Redraw(bool all) {
    m_log->RecordWith([&] { return Call("Drawing", "Redraw", Bool(all)); });
    ++m_redraws;
}
std::vector<EntityState> FakeDrawing::Snapshot() const {
    std::vector<EntityState> out;
    out.reserve(m_entities.size());
    for (const auto& entity : m_entities) {
        out.push_back(dynamic_cast<const FakeEntityBase&>(*entity).State());
    }
    return out;
}

// --- document parts ---

std::int32_t FakeLayer::Number() const {
    m_log->Record("Layer.Number");
    return m_number;
}
std::string FakeLayer::Name() const {
    m_log->Record("Layer.Name");
    return m_name;
}

std::int32_t FakeLayers::IndexOf(std::int32_t number) const {
    m_log->RecordWith([&] { return Call("Layers", "IndexOf", Int(number)); });
    for (std::size_t i = 0; i < m_layers.size(); ++i) {
        if (m_layers[i]->PeekNumber() == number) return static_cast<std::int32_t>(i);
    }
    return -1;
}
host::HostLayerPtr FakeLayers::Add(std::int32_t number, const std::string& name,
                                   std::int32_t flags) {
    m_log->RecordWith(
        [&] { return Call("Layers", "Add", Int(number) + ", " + name + ", " + Int(flags)); });
    for (const auto& layer : m_layers) {
        if (layer->PeekNumber() == number) {
            throw HostError("同じ番号のレイヤーが既にあります: " + Int(number));
        }
    }
    auto layer = std::make_shared<FakeLayer>(m_log, number, name, flags);
    m_layers.push_back(layer);
    return layer;
}
void FakeLayers::Put(std::int32_t number, const std::string& name) {
    m_layers.push_back(std::make_shared<FakeLayer>(m_log, number, name, 0));
}

std::int32_t FakeCurrentAttributes::Layer() const {
    m_log->Record("CurrentAttributes.Layer");
    return m_layer;
}
void FakeCurrentAttributes::SetLayer(std::int32_t layer) {
    m_log->RecordWith([&] { return Call("CurrentAttributes", "SetLayer", Int(layer)); });
    m_layer = layer;
}

std::int32_t FakeScale::Numerator() const {
    m_log->Record("Scale.Numerator");
    return m_numerator;
}
void FakeScale::SetNumerator(std::int32_t value) {
    m_log->RecordWith([&] { return Call("Scale", "SetNumerator", Int(value)); });
    m_numerator = value;
}
std::int32_t FakeScale::Denominator() const {
    m_log->Record("Scale.Denominator");
    return m_denominator;
}
void FakeScale::SetDenominator(std::int32_t value) {
    m_log->RecordWith([&] { return Call("Scale", "SetDenominator", Int(value)); });
    m_denominator = value;
}

bool FakeSnap::SnapPoint(host::HostPoint& point, const host::HostView& /*view*/) {
    m_log->Record("Snap.SnapPoint");
    if (m_refuse) return false;
    if (m_target) {
        // Through the point's own setters, as a host writes into a by-reference point.
        point.SetX(m_target->first);
        point.SetY(m_target->second);
    }
    return true;
}

FakeDocument::FakeDocument(CallLogPtr log, std::string name, std::weak_ptr<FakeDocuments> owner)
    : m_log(std::move(log)),
      m_name(std::move(name)),
      m_owner(std::move(owner)),
      m_drawing(std::make_shared<FakeDrawing>(m_log)),
      m_layers(std::make_shared<FakeLayers>(m_log)),
      m_attributes(std::make_shared<FakeCurrentAttributes>(m_log)),
      m_scale(std::make_shared<FakeScale>(m_log)),
      m_snap(std::make_shared<FakeSnap>(m_log)) {}

host::HostDrawingPtr FakeDocument::Drawing() {
    m_log->Record("Document.Drawing");
    return m_drawing;
}
host::HostLayersPtr FakeDocument::Layers() {
    m_log->Record("Document.Layers");
    return m_layers;
}
host::HostCurrentAttributesPtr FakeDocument::CurrentAttributes() {
    m_log->Record("Document.CurrentAttributes");
    return m_attributes;
}
host::HostScalePtr FakeDocument::Scale() {
    m_log->Record("Document.Scale");
    return m_scale;
}
host::DrawingUnit FakeDocument::Unit() {
    m_log->Record("Document.Unit");
    return m_unit;
}
host::HostSnapPtr FakeDocument::Snap() {
    m_log->Record("Document.Snap");
    return m_snap;
}
host::HostPointListPtr FakeDocument::PathAlong(const host::HostPoint& point,
                                               const host::HostView& /*view*/) {
    m_log->RecordWith(
        [&] { return Call("Document", "PathAlong", Num(point.X()) + ", " + Num(point.Y())); });
    if (m_pathAlong.empty()) return nullptr;
    auto list = std::make_shared<FakePointList>(m_log);
    list->Put(m_pathAlong);
    return list;
}

void FakeDocument::Activate() {
    m_log->Record("Document.Activate");
    if (auto owner = m_owner.lock()) owner->SetActive(shared_from_this());
}

host::HostDocumentPtr FakeView::Document() const {
    m_log->Record("View.Document");
    return m_document;
}

std::int32_t FakeDocuments::Count() const {
    m_log->Record("Documents.Count");
    return static_cast<std::int32_t>(m_documents.size());
}
host::HostDocumentPtr FakeDocuments::Add(const std::string& name) {
    m_log->RecordWith([&] { return Call("Documents", "Add", name); });
    return Put(name);
}
FakeDocumentPtr FakeDocuments::Put(const std::string& name) {
    auto document = std::make_shared<FakeDocument>(m_log, name, weak_from_this());
    m_documents.push_back(document);
    m_active = document;
    return document;
}

FakeApplication::FakeApplication(CallLogPtr log)
    : m_log(std::move(log)), m_documents(std::make_shared<FakeDocuments>(m_log)) {}

bool FakeApplication::Visible() const {
    m_log->Record("Application.Visible");
    return m_visible;
}
void FakeApplication::SetVisible(bool visible) {
    m_log->RecordWith([&] { return Call("Application", "SetVisible", Bool(visible)); });
    m_visible = visible;
}
host::HostDocumentsPtr FakeApplication::Documents() {
    m_log->Record("Application.Documents");
    return m_documents;
}
host::HostDocumentPtr FakeApplication::ActiveDocument() {
    m_log->Record("Application.ActiveDocument");
    return m_documents->Active();
}

// --- tool ---

FakeTool::FakeTool(CallLogPtr log, FakeApplicationPtr application)
    : m_log(std::move(log)), m_application(std::move(application)) {}

void FakeTool::SetEventSink(host::HostToolEvents* sink) {
    m_log->RecordWith(
        [&] { return Call("Tool", "SetEventSink", sink != nullptr ? "sink" : "null"); });
    m_sink = sink;
}
std::string FakeTool::Caption() const {
    m_log->Record("Tool.Caption");
    return m_caption;
}
void FakeTool::SetCaption(const std::string& caption) {
    m_log->RecordWith([&] { return Call("Tool", "SetCaption", caption); });
    m_caption = caption;
}
void FakeTool::Start() {
    m_log->RecordWith([&] { return Call("Tool", "Start", ""); });
    m_running = true;
    if (m_answer && m_sink != nullptr) FireConnect();
}
void FakeTool::Stop() {
    m_log->RecordWith([&] { return Call("Tool", "Stop", ""); });
    m_running = false;
    if (m_answer && m_sink != nullptr) FireDisConnect();
}
void FakeTool::Attach(std::int32_t mode, const host::HostViewPtr& /*view*/) {
    m_log->RecordWith([&] { return Call("Tool", "Attach", Int(mode)); });
}
void FakeTool::AddMark(std::int32_t kind, const host::HostPoint& point,
                       const host::HostDocumentPtr& document) {
    const auto* fakePoint = dynamic_cast<const FakePoint*>(&point);
    const double x = fakePoint != nullptr ? fakePoint->PeekX() : point.X();
    const double y = fakePoint != nullptr ? fakePoint->PeekY() : point.Y();
    m_log->RecordWith([&] {
        std::string args = Int(kind);
        args.append(", (").append(Num(x)).append(", ").append(Num(y)).append(")");
        return Call("Tool", "AddMark", args);
    });
    m_marks.push_back({kind, x, y, document});
}
void FakeTool::RemoveMark() {
    m_log->RecordWith([&] { return Call("Tool", "RemoveMark", ""); });
    if (!m_marks.empty()) m_marks.pop_back();
}
void FakeTool::ClearMarks() {
    m_log->RecordWith([&] { return Call("Tool", "ClearMarks", ""); });
    m_marks.clear();
    m_preview.clear();
    m_previewAtCursor.clear();
}
void FakeTool::ShowRubber(const host::HostEntityPtr& entity) {
    m_log->RecordWith([&] { return Call("Tool", "ShowRubber", entity ? "entity" : "null"); });
    m_rubber = entity;
}

void FakeTool::ShowPreview(const std::vector<host::HostEntityPtr>& entities,
                           const std::vector<host::HostEntityPtr>& atCursor) {
    m_log->RecordWith([&] {
        return Call("Tool", "ShowPreview",
                    std::to_string(entities.size()) + ", " + std::to_string(atCursor.size()));
    });
    m_preview = entities;
    m_previewAtCursor = atCursor;
}

FakeViewPtr FakeTool::View() {
    auto active = m_application->GetDocuments()->Active();
    if (!active) throw HostError("開いている図面がありません");
    if (!m_view || m_view->GetDocument() != active) {
        m_view = std::make_shared<FakeView>(m_log, active);
    }
    return m_view;
}
host::HostToolEvents& FakeTool::RequireSink() const {
    if (m_sink == nullptr) throw HostError("ツールのイベントの受け手がありません");
    return *m_sink;
}
void FakeTool::FireConnect() { RequireSink().RapidTool_Connect(View()); }
void FakeTool::FireDisConnect() { RequireSink().RapidTool_DisConnect(View()); }
std::int16_t FakeTool::FireIsSnapOperation() {
    std::int16_t snap = 0;
    RequireSink().RapidTool_IsSnapOperation(snap);
    return snap;
}
void FakeTool::FireLButtonDown(double x, double y) {
    RequireSink().RapidTool_LButtonDown(View(), std::make_shared<FakePoint>(m_log, x, y));
}
void FakeTool::FireShiftLButtonDown(double x, double y) {
    m_clickShift = 1;
    try {
        RequireSink().RapidTool_LButtonDown(View(), std::make_shared<FakePoint>(m_log, x, y));
    } catch (...) {
        m_clickShift = 0;
        throw;
    }
    m_clickShift = 0;
}
void FakeTool::FireLButtonDblck(double x, double y) {
    RequireSink().RapidTool_LButtonDblck(View(), std::make_shared<FakePoint>(m_log, x, y));
}
void FakeTool::FireKeyDown(std::int16_t keyCode, std::int16_t shift) {
    RequireSink().RapidTool_KeyDown(View(), keyCode, shift);
}
void FakeTool::FireBackOperation() { RequireSink().RapidTool_BackOperation(View()); }
void FakeTool::FireMouseMove(double x, double y) {
    RequireSink().RapidTool_MouseMove(View(), std::make_shared<FakePoint>(m_log, x, y));
}
void FakeTool::FireRubberDisp() { RequireSink().RapidTool_RubberDisp(View()); }

// --- factory ---

FakeFactory::FakeFactory()
    : m_log(std::make_shared<CallLog>()), m_application(std::make_shared<FakeApplication>(m_log)) {}

host::HostApplicationPtr FakeFactory::CreateApplication() {
    m_log->Record("Factory.CreateApplication");
    return m_application;
}
host::HostToolPtr FakeFactory::CreateTool() {
    m_log->Record("Factory.CreateTool");
    m_lastTool = std::make_shared<FakeTool>(m_log, m_application);
    return m_lastTool;
}
host::HostPointPtr FakeFactory::CreatePoint() {
    m_log->Record("Factory.CreatePoint");
    return std::make_shared<FakePoint>(m_log, 0.0, 0.0);
}
host::HostPointListPtr FakeFactory::CreatePointList() {
    m_log->Record("Factory.CreatePointList");
    return std::make_shared<FakePointList>(m_log);
}
host::HostCurvePtr FakeFactory::CreateCurve() {
    m_log->Record("Factory.CreateCurve");
    return std::make_shared<FakeCurve>(m_log);
}
host::HostLinePtr FakeFactory::CreateLine() {
    m_log->Record("Factory.CreateLine");
    return std::make_shared<FakeLine>(m_log);
}
host::HostArcPtr FakeFactory::CreateArc() {
    m_log->Record("Factory.CreateArc");
    return std::make_shared<FakeArc>(m_log);
}
FakePointListPtr FakeFactory::MakePointList(std::vector<std::pair<double, double>> points) const {
    auto list = std::make_shared<FakePointList>(m_log);
    list->Put(std::move(points));
    return list;
}
FakeDrawingPtr FakeFactory::MakeDrawing() const { return std::make_shared<FakeDrawing>(m_log); }

}  // namespace pelimator::fake
