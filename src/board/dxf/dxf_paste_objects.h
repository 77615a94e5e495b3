// The objects an image, a wipeout or an underlay pasted from another file needs in this one:
// its definition (IMAGEDEF, PDFDEFINITION…) copied under this file's dictionary for it, or this
// file's own definition of the same file path; an image's own reactor; the variables object its
// kind keeps (RASTERVARIABLES, WIPEOUTVARIABLES) and the CLASSES entries this file lacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "board/dxf/dxf_object_copy.h"
#include "board/dxf/dxf_retag.h"
#include "board/dxf/dxf_source.h"

namespace pelimator::board {

class DxfPasteObjects {
public:
    explicit DxfPasteObjects(const DxfSource& target) : m_target(target) {}

    // At most how many handles the objects of a paste of the record take.
    [[nodiscard]] static std::uint64_t HandlesOf(const DxfSource& from, std::size_t record);

    // Before the record (from's) is written by job: the target's handle for its definition set
    // as job's pointer for from's (the target's own definition of that file, else a copy, its
    // dictionary made where the target lacks it); the variables object its kind keeps.
    void Prepare(const DxfSource& from, std::size_t record, DxfRetag& job);
    // After: the copy (its bytes as written, its new handle) owning a reactor of its own, which
    // its definition lists (an underlay's lists the copy). The copy's bytes.
    [[nodiscard]] std::string Finish(const DxfSource& from, std::size_t record, std::string copy,
                                     std::uint64_t handle, std::uint64_t& next,
                                     DxfObjectCopies& objects);
    // The definitions copied, the dictionaries' new entries and the CLASSES entries, handed to
    // objects (written by the save with the copies' objects).
    void Flush(DxfObjectCopies& objects);

private:
    struct Dictionary {
        std::size_t record = kNoDxfRecord;  // the target's; none: made by the paste
        std::string handle;
        std::set<std::string> names;                             // its entries (LayerKey)
        std::vector<std::pair<std::string, std::string>> added;  // name, handle
    };
    struct Definition {
        const DxfSource* from = nullptr;
        std::size_t record = 0;             // from's definition
        std::size_t reused = kNoDxfRecord;  // the target's definition of the same file
        std::uint64_t handle = 0;           // in the target
        std::string dictionary;             // its owner's name in the root dictionary
        std::vector<std::uint64_t> listed;
    };
    struct Variables {  // a variables object copied
        const DxfSource* from = nullptr;
        std::size_t record = 0;
        std::uint64_t handle = 0;
    };
    // What one file holds in its OBJECTS and CLASSES sections.
    struct FileObjects {
        std::size_t root = kNoDxfRecord;  // the root dictionary
        std::string rootHandle;
        std::map<std::string, std::size_t> byHandle;  // objects by handle (LayerKey)
        // The root dictionary's entries: name (LayerKey) → name as written, handle.
        std::map<std::string, std::pair<std::string, std::string>> rootEntries;
        std::map<std::string, std::size_t> classes;  // CLASS records by record name
        // Definitions by type and file path (as decoded).
        std::map<std::pair<std::string, std::string>, std::size_t> definitions;
    };

    const FileObjects& ObjectsOf(const DxfSource& file);
    Dictionary& DictionaryNamed(const std::string& name, std::uint64_t& next);
    void NeedVariables(const DxfSource& from, const std::string& name, std::uint64_t& next);
    void NeedClass(const DxfSource& from, const std::string& name);
    // The CLASSES entries copied: before the section's ENDSEC, or in a section made for them.
    void FlushClasses(DxfObjectCopies& objects);

    const DxfSource& m_target;
    std::map<const DxfSource*, FileObjects> m_files;
    std::map<std::string, Dictionary> m_dictionaries;  // by their name in the root dictionary
    std::vector<std::string> m_rootAdded;              // their order of making
    std::vector<Definition> m_definitions;
    std::map<std::pair<const DxfSource*, std::string>, std::size_t> m_definitionOf;
    std::map<std::pair<std::string, std::string>, std::size_t> m_copiedByPath;  // type, path
    std::map<std::string, Variables> m_variables;  // by their name in the root dictionary
    std::vector<std::pair<const DxfSource*, std::size_t>> m_classes;  // CLASS records to copy
    std::set<std::string> m_classNames;
};

}  // namespace pelimator::board
