// One drawing file format as the rest of the board sees it: telling its files by content,
// reading them into the model, saving over what was kept of the file read or as a new drawing,
// and saying what a save cannot keep. Each format implements it in its own folder; the list of
// formats is board/files/file_formats.cpp.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_bytes.h"
#include "board/model/document.h"
#include "board/model/drawing_content.h"
#include "board/model/underlay.h"

namespace pelimator::board {

// How a file is read, whatever its format.
struct FormatReadOptions {
    // Build what the file shows beneath the board's lines; a caller that never shows the drawing
    // (the batch when it makes no picture) leaves it out.
    bool underlay = true;
    // Set by another thread to give the read up: the read then raises Cancelled soon.
    const std::atomic<bool>* cancel = nullptr;
};

// What opening a file did, in words.
class FormatReport {
public:
    virtual ~FormatReport() = default;
    // What the status bar says.
    [[nodiscard]] virtual std::string Summary() const = 0;
    // What the picture beneath leaves out at its work limit, a sentence; "" when nothing.
    [[nodiscard]] virtual std::string LeftOutText() const = 0;
    // Notes for a run without a window, each the rest of a sentence after 「図面「name」」
    // (「の図形のうち 3 個 ... 」); in the order they are shown.
    [[nodiscard]] virtual std::vector<std::string> Notes() const = 0;
};

// A drawing file read but not yet a document.
struct FormatRead {
    DrawingContent content;                        // its current layer the one new drawing goes on
    std::shared_ptr<const DocumentSource> source;  // what a save writes back
    std::shared_ptr<Underlay> underlay;            // null when nothing else is shown
    std::shared_ptr<const FormatReport> report;    // never null
    // Whether the drawing gives its own scale (else the reader's 1:1 stands in for none).
    bool scaleStored = false;
};

class FileFormat {
public:
    virtual ~FileFormat() = default;

    // The format's short name for messages ("DXF").
    [[nodiscard]] virtual std::string_view Name() const noexcept = 0;
    // The file name extension a save gives, lower case with its dot (".dxf").
    [[nodiscard]] virtual const char* Extension() const noexcept = 0;
    // The save and open dialogs' entry ("DXF 図面 (*.dxf)").
    [[nodiscard]] virtual std::string_view DialogFilter() const noexcept = 0;

    // Whether bytes, the content of the file at path, are this format's. The name counts only
    // where the content is too short to tell.
    [[nodiscard]] virtual bool Claims(std::string_view bytes, const std::string& path) const = 0;
    // Whether source was read by this format.
    [[nodiscard]] virtual bool Owns(const DocumentSource& source) const = 0;

    // Reads bytes, named fileName in messages. FileError when they cannot be read; nothing
    // partial is returned.
    [[nodiscard]] virtual FormatRead Read(FileBytes bytes, const std::string& fileName,
                                          const FormatReadOptions& options) const = 0;

    // Writes state to path atomically: over own (a source this format Owns) keeping every byte
    // of it the state does not change; without own, as a new drawing of the state's layers,
    // lines and arcs. FileError when it cannot be written (path is then untouched).
    virtual void Write(const std::string& path, const DocumentSource* own,
                       const DrawingState& state) const = 0;
    // What Write with the same arguments cannot keep, one Japanese sentence per item.
    [[nodiscard]] virtual std::vector<std::string> Losses(const DocumentSource* own,
                                                          const DrawingState& state) const = 0;
    // Whether the file Write makes over own holds every edit state shows (else the drawing stays
    // modified after the save).
    [[nodiscard]] virtual bool KeepsEdits(const DocumentSource& own,
                                          const DrawingState& state) const = 0;

    // A converted copy: what a drawing of another format keeps in this one, a sentence
    // (「DXF への変換では線と円弧とレイヤだけを保存します。」).
    [[nodiscard]] virtual std::string_view ConversionKeeps() const noexcept = 0;
    // What of this format's drawings a converted copy leaves out, the start of a sentence that
    // goes on 「は DXF に残りません」.
    [[nodiscard]] virtual std::string_view ConversionDrops() const noexcept = 0;
};

// A converted copy: a drawing read in one format written as another, with everything the other
// can hold. The conversions are listed in board/convert/conversions.cpp.
class FormatConversion {
public:
    virtual ~FormatConversion() = default;
    // Writes the drawing read into from, as state shows it (underlay: what the file shows
    // beneath), to path atomically; FileError when it cannot be written (path is untouched).
    virtual void Write(const std::string& path, const DocumentSource& from,
                       const DrawingState& state, const Underlay* underlay) const = 0;
    // What Write with the same arguments cannot keep, one Japanese sentence per item.
    [[nodiscard]] virtual std::vector<std::string> Losses(const DocumentSource& from,
                                                          const DrawingState& state,
                                                          const Underlay* underlay) const = 0;
};

// The lower-case extension of path's file name with its dot; "" when it has none.
[[nodiscard]] std::string LowerExtension(const std::string& path);

}  // namespace pelimator::board
