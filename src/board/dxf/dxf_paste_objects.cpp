// Definitions, reactors, variables and classes of images and underlays pasted between files.
#include "board/dxf/dxf_paste_objects.h"

#include <string_view>

#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

using dxf_roles::Part;
using dxf_roles::PartsOf;
using dxf_roles::ReadTags;
using dxf_roles::TypeOf;

namespace {

// What a pasted record's kind keeps in the root dictionary: the dictionary of its definitions,
// the entry of its variables object and that object's type ("": none).
struct KindObjects {
    const char* dictionary = "";
    const char* variables = "";
};

KindObjects KindOf(std::string_view type) {
    if (type == "IMAGE") return {"ACAD_IMAGE_DICT", "ACAD_IMAGE_VARS"};
    if (type == "WIPEOUT") return {"ACAD_IMAGE_DICT", "ACAD_WIPEOUT_VARS"};
    if (type == "PDFUNDERLAY") return {"ACAD_PDFDEFINITIONS", ""};
    if (type == "DWFUNDERLAY") return {"ACAD_DWFDEFINITIONS", ""};
    if (type == "DGNUNDERLAY") return {"ACAD_DGNDEFINITIONS", ""};
    return {};
}

std::string Decoded(const DxfSource& file, std::string_view raw) {
    return DecodeDxfString(TrimDxf(raw), file.version, file.codePage);
}

// The value of the record's own first group of that code ("" when none).
std::string_view OwnValue(const std::vector<DxfTag>& tags, int code) {
    const std::vector<Part> parts = PartsOf(tags);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] == Part::Own && tags[i].code == code) return TrimDxf(tags[i].value);
    }
    return {};
}

// A dictionary's entries: each name (3, decoded) and the handle (350 or 360) after it; code:
// the code its entries take.
std::vector<std::pair<std::string, std::string>> EntriesOf(const DxfSource& file,
                                                           const std::vector<DxfTag>& tags,
                                                           int* code = nullptr) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::string name;
    bool named = false;
    for (const DxfTag& tag : tags) {
        if (tag.code >= 1000) break;
        if (tag.code == 3) {
            name = Decoded(file, tag.value);
            named = true;
        }
        if ((tag.code == 350 || tag.code == 360) && named) {
            entries.emplace_back(name, std::string(TrimDxf(tag.value)));
            if (code != nullptr) *code = tag.code;
            named = false;
        }
    }
    return entries;
}

// Where new entries of a dictionary go: before its extended data, else at its end.
std::size_t EntriesEnd(const DxfSource& file, std::size_t record) {
    for (const DxfTag& tag : ReadTags(file, record)) {
        if (tag.code >= 1000) return tag.begin;
    }
    return file.records[record + 1];
}

// The record's bytes (written for file) with group inserted after its handle.
std::string AfterHandle(const DxfSource& file, const std::string& record,
                        const std::string& group) {
    DxfLayout layout = file.layout;
    layout.begin = 0;
    DxfTagReader reader(record, layout, file.fileName);
    for (DxfTag tag; reader.Next(tag);) {
        if (tag.code == 5) return record.substr(0, tag.end) + group + record.substr(tag.end);
    }
    return record;
}

// A reactor list of its owner and the handles listed.
std::string Reactors(const DxfLayout& layout, const std::string& owner,
                     const std::vector<std::uint64_t>& listed) {
    DxfEmitter out(layout);
    out.Text(102, "{ACAD_REACTORS");
    out.Text(330, owner);
    for (const std::uint64_t handle : listed) out.Text(330, HandleText(handle));
    out.Text(102, "}");
    return std::move(out.Out());
}

// The name of a file path without its folders and extension ("image" when none).
std::string Stem(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name.empty() ? std::string("image") : name;
}

}  // namespace

std::uint64_t DxfPasteObjects::HandlesOf(const DxfSource& from, std::size_t record) {
    const std::string type = DxfRecordType(from, record);
    // Its definition, the dictionary for it, its variables object, its reactor.
    return IsDxfImageType(type) || IsDxfUnderlayType(type) ? 4 : 0;
}

const DxfPasteObjects::FileObjects& DxfPasteObjects::ObjectsOf(const DxfSource& file) {
    auto [found, made] = m_files.try_emplace(&file);
    FileObjects& objects = found->second;
    if (!made) return objects;
    for (std::size_t r = file.objects.first + 1; r < file.objects.last; ++r) {
        const std::vector<DxfTag> tags = ReadTags(file, r);
        const std::string type = TypeOf(tags);
        const std::string handle(OwnValue(tags, 5));
        if (!handle.empty()) objects.byHandle.try_emplace(LayerKey(handle), r);
        if (objects.root == kNoDxfRecord && type == "DICTIONARY") {
            objects.root = r;
            objects.rootHandle = handle;
            for (auto& [name, entry] : EntriesOf(file, tags))
                objects.rootEntries.try_emplace(LayerKey(name), name, entry);
        }
        if (type == "IMAGEDEF" || type.ends_with("DEFINITION"))
            objects.definitions.try_emplace({type, Decoded(file, OwnValue(tags, 1))}, r);
    }
    for (std::size_t r = file.classes.first + 1; r < file.classes.last; ++r) {
        const std::vector<DxfTag> tags = ReadTags(file, r);
        if (TypeOf(tags) == "CLASS") objects.classes.try_emplace(std::string(OwnValue(tags, 1)), r);
    }
    return objects;
}

DxfPasteObjects::Dictionary& DxfPasteObjects::DictionaryNamed(const std::string& name,
                                                              std::uint64_t& next) {
    auto [found, made] = m_dictionaries.try_emplace(LayerKey(name));
    Dictionary& dictionary = found->second;
    if (!made) return dictionary;
    const FileObjects& target = ObjectsOf(m_target);
    if (const auto entry = target.rootEntries.find(LayerKey(name));
        entry != target.rootEntries.end()) {
        const auto record = target.byHandle.find(LayerKey(entry->second.second));
        if (record != target.byHandle.end() &&
            DxfRecordType(m_target, record->second) == "DICTIONARY") {
            dictionary.record = record->second;
            dictionary.handle = entry->second.second;
            for (const auto& [entryName, handle] :
                 EntriesOf(m_target, ReadTags(m_target, record->second)))
                dictionary.names.insert(LayerKey(entryName));
            return dictionary;
        }
    }
    dictionary.handle = HandleText(next++);
    m_rootAdded.push_back(name);
    return dictionary;
}

void DxfPasteObjects::NeedClass(const DxfSource& from, const std::string& name) {
    if (!m_classNames.insert(name).second || ObjectsOf(m_target).classes.contains(name)) return;
    const FileObjects& objects = ObjectsOf(from);
    if (const auto found = objects.classes.find(name); found != objects.classes.end())
        m_classes.emplace_back(&from, found->second);
}

void DxfPasteObjects::NeedVariables(const DxfSource& from, const std::string& name,
                                    std::uint64_t& next) {
    if (name.empty() || m_variables.contains(LayerKey(name))) return;
    Variables& variables = m_variables[LayerKey(name)];
    if (ObjectsOf(m_target).rootEntries.contains(LayerKey(name))) return;  // the target's own
    const FileObjects& objects = ObjectsOf(from);
    const auto entry = objects.rootEntries.find(LayerKey(name));
    if (entry == objects.rootEntries.end()) return;  // from has none to copy
    const auto record = objects.byHandle.find(LayerKey(entry->second.second));
    if (record == objects.byHandle.end()) return;
    variables = {&from, record->second, next++};
    m_rootAdded.push_back(entry->second.first);
    NeedClass(from, DxfRecordType(from, record->second));
}

void DxfPasteObjects::Prepare(const DxfSource& from, std::size_t record, DxfRetag& job) {
    const std::vector<DxfTag> tags = ReadTags(from, record);
    const std::string type = TypeOf(tags);
    if (!IsDxfImageType(type) && !IsDxfUnderlayType(type)) return;
    const KindObjects kind = KindOf(type);
    NeedClass(from, type);
    NeedVariables(from, kind.variables, job.next);
    const std::string key = LayerKey(OwnValue(tags, 340));
    if (key.empty() || key == "0") return;
    if (IsDxfImageType(type) && DxfOwnHandle(tags, 360) != 0) NeedClass(from, "IMAGEDEF_REACTOR");
    auto [known, made] = m_definitionOf.try_emplace({&from, key}, m_definitions.size());
    if (!made) {
        const std::uint64_t handle = m_definitions[known->second].handle;
        job.pointers[key] = handle != 0 ? HandleText(handle) : std::string("0");
        return;
    }
    Definition definition;
    definition.from = &from;
    const FileObjects& objects = ObjectsOf(from);
    const auto source = objects.byHandle.find(key);
    if (source == objects.byHandle.end()) {  // from lacks it: the copy names none
        m_definitions.push_back(definition);
        job.pointers[key] = "0";
        return;
    }
    definition.record = source->second;
    const std::vector<DxfTag> own = ReadTags(from, definition.record);
    const std::string ownType = TypeOf(own);
    const std::pair<std::string, std::string> path{ownType, Decoded(from, OwnValue(own, 1))};
    const FileObjects& target = ObjectsOf(m_target);
    if (const auto same = target.definitions.find(path); same != target.definitions.end()) {
        // The target's own definition of that file: shared, as every image of one picture is.
        definition.reused = same->second;
        (void)ParseHandle(OwnValue(ReadTags(m_target, same->second), 5), definition.handle);
    } else if (const auto copied = m_copiedByPath.find(path); copied != m_copiedByPath.end()) {
        known->second = copied->second;
        job.pointers[key] = HandleText(m_definitions[copied->second].handle);
        return;
    } else {
        NeedClass(from, ownType);
        // Under the dictionary of the name from's owns it by, with the name it has there.
        const std::string owner = LayerKey(OwnValue(own, 330));
        std::string dictionaryName = kind.dictionary;
        std::string name = Stem(path.second);
        for (const auto& [entryKey, entry] : objects.rootEntries) {
            if (LayerKey(entry.second) != owner) continue;
            dictionaryName = entry.first;
            const auto found = objects.byHandle.find(owner);
            if (found == objects.byHandle.end()) break;
            for (const auto& [entryName, handle] : EntriesOf(from, ReadTags(from, found->second))) {
                if (LayerKey(handle) == key) name = entryName;
            }
        }
        Dictionary& dictionary = DictionaryNamed(dictionaryName, job.next);
        definition.handle = job.next++;
        definition.dictionary = LayerKey(dictionaryName);
        std::string given = name;
        for (int n = 2; dictionary.names.contains(LayerKey(given)); ++n)
            given = name + "_" + std::to_string(n);
        dictionary.names.insert(LayerKey(given));
        dictionary.added.emplace_back(given, HandleText(definition.handle));
        m_copiedByPath.emplace(path, m_definitions.size());
    }
    job.pointers[key] = HandleText(definition.handle);
    m_definitions.push_back(std::move(definition));
}

std::string DxfPasteObjects::Finish(const DxfSource& from, std::size_t record, std::string copy,
                                    std::uint64_t handle, std::uint64_t& next,
                                    DxfObjectCopies& objects) {
    const std::vector<DxfTag> tags = ReadTags(from, record);
    const std::string type = TypeOf(tags);
    if (!IsDxfImageType(type) && !IsDxfUnderlayType(type)) return copy;
    Definition* definition = nullptr;
    if (const auto found = m_definitionOf.find({&from, LayerKey(OwnValue(tags, 340))});
        found != m_definitionOf.end() && m_definitions[found->second].handle != 0) {
        definition = &m_definitions[found->second];
    }
    std::uint64_t listed = handle;  // what the definition lists: the copy's reactor, or itself
    if (IsDxfImageType(type) && DxfOwnHandle(tags, 360) != 0) {
        listed = definition != nullptr && handle != 0 ? next++ : 0;
        if (listed != 0) {
            objects.AddObjects(
                DxfImageReactor(m_target.layout, /*reactor=*/listed, /*image=*/handle));
        }
        copy = DxfWithOwnGroup(m_target, copy, 360,
                               listed != 0 ? HandleText(listed) : std::string("0"));
    }
    if (definition != nullptr && listed != 0) {
        if (definition->reused != kNoDxfRecord) {
            objects.List(definition->reused, listed);
        } else {
            definition->listed.push_back(listed);
        }
    }
    return copy;
}

void DxfPasteObjects::Flush(DxfObjectCopies& objects) {
    const FileObjects& target = ObjectsOf(m_target);
    const DxfLayout& layout = m_target.layout;
    std::uint64_t unused = 0;
    // A record of from written with the handle given, owned by owner, listing it as its reactor.
    const auto copied = [&](const DxfSource& from, std::size_t record, std::uint64_t handle,
                            const std::string& owner, const std::vector<std::uint64_t>& listed) {
        const std::vector<DxfTag> tags = ReadTags(from, record);
        DxfRetag job(from, m_target, unused);
        job.reserved[LayerKey(OwnValue(tags, 5))] = handle;
        job.owner = owner;
        RetagDxfRecord(job, tags, true);
        objects.AddObjects(AfterHandle(m_target, job.out.Out(), Reactors(layout, owner, listed)));
    };
    for (const auto& [name, dictionary] : m_dictionaries) {
        if (dictionary.record != kNoDxfRecord) {
            if (dictionary.added.empty()) continue;
            int code = 350;
            (void)EntriesOf(m_target, ReadTags(m_target, dictionary.record), &code);
            DxfEmitter out(layout);
            for (const auto& [entry, handle] : dictionary.added) {
                out.Text(3, EncodeDxfString(entry, m_target.version, m_target.codePage));
                out.Text(code, handle);
            }
            const std::size_t at = EntriesEnd(m_target, dictionary.record);
            objects.AddPatch({at, at, std::move(out.Out())});
            continue;
        }
        DxfEmitter out(layout);
        out.Text(0, "DICTIONARY");
        out.Text(5, dictionary.handle);
        out.Raw(Reactors(layout, target.rootHandle, {}));
        out.Text(330, target.rootHandle);
        out.Text(100, "AcDbDictionary");
        out.Integer(281, 1);
        for (const auto& [entry, handle] : dictionary.added) {
            out.Text(3, EncodeDxfString(entry, m_target.version, m_target.codePage));
            out.Text(350, handle);
        }
        objects.AddObjects(out.Out());
    }
    for (const auto& [name, variables] : m_variables) {
        if (variables.from != nullptr)
            copied(*variables.from, variables.record, variables.handle, target.rootHandle, {});
    }
    for (const Definition& definition : m_definitions) {
        if (definition.handle == 0 || definition.reused != kNoDxfRecord) continue;
        copied(*definition.from, definition.record, definition.handle,
               m_dictionaries.at(definition.dictionary).handle, definition.listed);
    }
    if (!m_rootAdded.empty() && target.root != kNoDxfRecord) {
        int code = 350;
        (void)EntriesOf(m_target, ReadTags(m_target, target.root), &code);
        DxfEmitter out(layout);
        for (const std::string& name : m_rootAdded) {
            const auto dictionary = m_dictionaries.find(LayerKey(name));
            out.Text(3, EncodeDxfString(name, m_target.version, m_target.codePage));
            out.Text(code, dictionary != m_dictionaries.end()
                               ? dictionary->second.handle
                               : HandleText(m_variables.at(LayerKey(name)).handle));
        }
        const std::size_t at = EntriesEnd(m_target, target.root);
        objects.AddPatch({at, at, std::move(out.Out())});
    }
    FlushClasses(objects);
}

void DxfPasteObjects::FlushClasses(DxfObjectCopies& objects) {
    const DxfLayout& layout = m_target.layout;
    std::uint64_t unused = 0;
    if (m_classes.empty()) return;
    DxfEmitter classes(layout);
    for (const auto& [from, record] : m_classes) {
        std::vector<DxfTag> tags = ReadTags(*from, record);
        // The count of instances (91) is a group of AC1018 on.
        if (m_target.version < "AC1018")
            std::erase_if(tags, [](const DxfTag& tag) { return tag.code == 91; });
        DxfRetag job(*from, m_target, unused);
        RetagDxfRecord(job, tags, true);
        classes.Raw(job.out.Out());
    }
    const DxfSectionRecords& section = m_target.classes;
    if (section.Found() && DxfRecordType(m_target, section.last) == "ENDSEC") {
        const std::size_t at = m_target.records[section.last];
        objects.AddPatch({at, at, std::move(classes.Out())});
    } else if (!section.Found() && m_target.tables.found) {  // a CLASSES section made
        DxfEmitter out(layout);
        out.Text(0, "SECTION");
        out.Text(2, "CLASSES");
        out.Raw(classes.Out());
        out.Text(0, "ENDSEC");
        objects.AddPatch({m_target.tables.begin, m_target.tables.begin, std::move(out.Out())});
    }
}

}  // namespace pelimator::board
