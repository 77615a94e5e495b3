// The collecting drawing behind the preview.
#include "line/preview_drawing.h"

#include "host/errors.h"

namespace pelimator {

namespace {

void CopyPoint(host::HostPoint& to, const host::HostPointPtr& from) {
    const double x = from->X();
    const double y = from->Y();
    to.SetX(x);
    to.SetY(y);
}

}  // namespace

host::HostEntityPtr PreviewDrawing::Add(const host::HostEntity& entity) {
    if (const auto* arc = dynamic_cast<const host::HostArc*>(&entity)) {
        host::HostArcPtr copy = arc->Clone();
        m_entities.push_back(copy);
        return copy;
    }
    const auto* line = dynamic_cast<const host::HostLine*>(&entity);
    if (line == nullptr) throw HostError("プレビューに置けるのは線と円弧だけです");
    // The host's accessors are not const: the copy reads through a non-const view of the line,
    // which it never writes.
    auto& source =
        const_cast<host::HostLine&>(*line);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
    host::HostLinePtr copy = m_factory.CreateLine();
    copy->SetLayer(source.Layer());
    copy->SetStyle(source.Style());
    copy->SetSubStyle(source.SubStyle());
    CopyPoint(*copy->StartPoint(), source.StartPoint());
    CopyPoint(*copy->EndPoint(), source.EndPoint());
    copy->SetVisible(source.Visible());
    m_entities.push_back(copy);
    return copy;
}

void PreviewDrawing::BeginEdit(const std::string& /*title*/) { m_editBegin = m_entities.size(); }

void PreviewDrawing::EndEdit(bool commit) {
    if (!commit) m_entities.resize(m_editBegin);
}

}  // namespace pelimator
