// Profile file parsing, lookup and atomic rewriting.
#include "settings/profile_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <unordered_set>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"
#include "base/file.h"

namespace pelimator::settings {
namespace {

// Why the last write of this thread failed (empty after one that succeeded).
thread_local std::string t_writeError;

// Whether content is UTF-16 text: it starts with a UTF-16 byte-order mark, or exactly one of its
// first two bytes is NUL (a name or bracket in UTF-16 without the mark).
bool IsUtf16(std::string_view content) noexcept {
    if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF")) return true;
    return content.size() >= 2 && ((content[0] == '\0') != (content[1] == '\0'));
}

// A file larger than kMaxProfileBytes, a folder or a device counts as one that cannot be read:
// reads give their defaults, writes never replace it. So does a UTF-16 file, whose names would
// never match (every value would silently be its default): it is refused by name (EILSEQ).
FileRead ReadProfile(const std::string& path) {
    FileRead file = TryReadWholeFile(path, kMaxProfileBytes);
    if (file.status == ReadStatus::Ok && IsUtf16(file.content)) {
        file.status = ReadStatus::Failed;
        file.error = EILSEQ;
        file.content.clear();
    }
    return file;
}

// Why file, read from path, cannot be used, in Japanese.
std::string ProfileFailureText(const FileRead& file, const std::string& path) {
    if (file.status == ReadStatus::Failed && file.error == EILSEQ) {
        return "ファイル「" + path +
               "」は UTF-16 で書かれているので読めません。UTF-8 で保存し直して下さい";
    }
    return ReadFailureText(file, path, kMaxProfileBytes);
}

bool Readable(const FileRead& file) noexcept { return file.status == ReadStatus::Ok; }
bool Unreadable(const FileRead& file) noexcept {
    return file.status != ReadStatus::Ok && file.status != ReadStatus::Missing;
}

// The text of a file without the UTF-8 byte-order mark that Windows Notepad puts before it.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
std::string_view Body(std::string_view content) noexcept {
    if (content.starts_with(kUtf8Mark)) content.remove_prefix(kUtf8Mark.size());
    return content;
}

// ---- text helpers ----

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) noexcept {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

// Joins pieces into one string (plain appends; also avoids a false -Wrestrict of GCC 12 on
// chains of operator+).
std::string Concat(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (const std::string_view piece : pieces) out.append(piece);
    return out;
}

std::string LowerCopy(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

// ---- lines ----

struct LineView {
    std::string_view text;  // without its line end
    std::string_view eol;   // "\n", "\r\n" or "" (last line without one)
};

// Lines end in LF, CRLF or a CR alone (old Macintosh editors); a missing final line end is fine.
std::vector<LineView> SplitLines(std::string_view content) {
    std::vector<LineView> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back({content.substr(pos), ""});
            break;
        }
        const std::size_t eolSize =
            content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n' ? 2 : 1;
        lines.push_back({content.substr(pos, end - pos), content.substr(end, eolSize)});
        pos = end + eolSize;
    }
    return lines;
}

enum class Kind { Other, Section, Entry };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;       // section or key name, trimmed
    std::size_t valueBegin = 0;  // value's extent within the line, blanks excluded
    std::size_t valueEnd = 0;
};

Parsed Classify(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size() || text[i] == ';' || text[i] == '#') return {};
    // A "[" without its "]" opens no section: the line is read as any other line.
    if (const std::size_t close = text.find(']', i + 1);
        text[i] == '[' && close != std::string_view::npos) {
        return {Kind::Section, Trim(text.substr(i + 1, close - i - 1)), 0, 0};
    }
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) return {};
    const std::string_view key = Trim(text.substr(0, eq));
    if (key.empty()) return {};
    std::size_t begin = eq + 1;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    std::size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1])) --end;
    return {Kind::Entry, key, begin, end};
}

// Index of the first header of `section`, or npos.
std::size_t FindSection(const std::vector<LineView>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Parsed p = Classify(lines[i].text);
        if (p.kind == Kind::Section && EqualNoCase(p.name, section)) return i;
    }
    return std::string_view::npos;
}

// ---- reading ----

// One pair of matching quotes (' or ") around the whole value is not part of it.
std::string_view StripQuotes(std::string_view value) noexcept {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The value of a hexadecimal or decimal digit, or -1.
int DigitValue(char c, int base) noexcept {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (base == 16 && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') {
        value = LowerAscii(c) - 'a' + 10;
    }
    return value < base ? value : -1;
}

std::int32_t ParseLeadingInt(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && LowerAscii(text[i + 1]) == 'x') {
        base = 16;
        i += 2;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (int digit = 0; i < text.size() && (digit = DigitValue(text[i], base)) >= 0; ++i) {
        magnitude = std::min(kLimit, magnitude * base + digit);
    }
    const std::int64_t value = negative ? -magnitude : std::min(magnitude, kLimit - 1);
    return static_cast<std::int32_t>(value);
}

std::string BuildNameList(const std::vector<std::string_view>& names) {
    std::string out;
    std::unordered_set<std::string> seen;
    for (const std::string_view name : names) {
        if (name.empty() || name.find('\0') != std::string_view::npos) continue;
        if (!seen.insert(LowerCopy(name)).second) continue;
        const std::size_t room = kProfileBufferSize - 2 - out.size();  // two closing NULs
        if (room == 0) break;
        out.append(name.substr(0, room));
        out.push_back('\0');
        if (name.size() >= room) break;
    }
    if (out.empty()) out.push_back('\0');
    out.push_back('\0');
    return out;
}

// ---- writing ----

struct Line {
    std::string text;
    std::string eol;
};

bool HasLineBreakOrNul(std::string_view text) noexcept {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsStorable(const ProfileChange& change) noexcept {
    if (HasLineBreakOrNul(change.section) || change.section.find(']') != std::string_view::npos) {
        return false;
    }
    if (!change.key) return true;  // removes the section, whatever value comes with it
    const std::string_view key = Trim(*change.key);
    if (key.empty() || HasLineBreakOrNul(key) || key.find('=') != std::string_view::npos ||
        key.front() == '[' || key.front() == ';' || key.front() == '#') {
        return false;
    }
    return !change.value || !HasLineBreakOrNul(*change.value);
}

class Document {
public:
    explicit Document(std::string_view content) : m_mark(content.starts_with(kUtf8Mark)) {
        for (const LineView& line : SplitLines(Body(content))) {
            if (m_eol.empty() && !line.eol.empty()) m_eol = line.eol;
            m_lines.push_back({std::string(line.text), std::string(line.eol)});
        }
        if (m_eol.empty()) m_eol = "\n";
    }

    void Apply(const ProfileChange& change) {
        const std::string_view section = Trim(change.section);
        if (!change.key) {
            RemoveSection(section);
            return;
        }
        const std::string_view key = Trim(*change.key);
        if (change.value) {
            // Blanks at either end are not part of a value: stored without them, as read.
            SetValue(section, key, Trim(*change.value));
        } else {
            RemoveKey(section, key);
        }
    }

    [[nodiscard]] std::string Text() const {
        std::string out(m_mark ? kUtf8Mark : std::string_view());
        for (const Line& line : m_lines) {
            out += line.text;
            out += line.eol;
        }
        return out;
    }

private:
    [[nodiscard]] std::size_t FindHeader(std::string_view section, std::size_t from) const {
        for (std::size_t i = from; i < m_lines.size(); ++i) {
            const Parsed p = Classify(m_lines[i].text);
            if (p.kind == Kind::Section && EqualNoCase(p.name, section)) return i;
        }
        return std::string::npos;
    }

    // One past the last line of the section whose header is at `header`.
    [[nodiscard]] std::size_t SectionEnd(std::size_t header) const {
        std::size_t i = header + 1;
        while (i < m_lines.size() && Classify(m_lines[i].text).kind != Kind::Section) ++i;
        return i;
    }

    // Inserts a line before index `at`, giving the line before it a line end if it had none.
    void Insert(std::size_t at, std::string text) {
        if (at > 0 && m_lines[at - 1].eol.empty()) m_lines[at - 1].eol = m_eol;
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), {std::move(text), m_eol});
    }

    void SetValue(std::string_view section, std::string_view key, std::string_view value) {
        const std::size_t header = FindHeader(section, 0);
        if (header == std::string::npos) {
            Insert(m_lines.size(), Concat({"[", section, "]"}));
            Insert(m_lines.size(), Concat({key, "=", value}));
            return;
        }
        const std::size_t end = SectionEnd(header);
        std::size_t lastEntry = header;
        for (std::size_t i = header + 1; i < end; ++i) {
            const Parsed p = Classify(m_lines[i].text);
            if (p.kind != Kind::Entry) continue;
            if (EqualNoCase(p.name, key)) {
                std::string& text = m_lines[i].text;
                text.replace(p.valueBegin, p.valueEnd - p.valueBegin, value);
                return;
            }
            lastEntry = i;
        }
        Insert(lastEntry + 1, Concat({key, "=", value}));
    }

    void RemoveKey(std::string_view section, std::string_view key) {
        const std::size_t header = FindHeader(section, 0);
        if (header == std::string::npos) return;
        const std::size_t end = SectionEnd(header);
        for (std::size_t i = header + 1; i < end; ++i) {
            const Parsed p = Classify(m_lines[i].text);
            if (p.kind == Kind::Entry && EqualNoCase(p.name, key)) {
                m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
                return;
            }
        }
    }

    // Removes each header of `section` with its lines up to its last non-blank, non-comment
    // line; blank lines and comments after that stay, as they usually belong to what follows.
    void RemoveSection(std::string_view section) {
        std::size_t header = FindHeader(section, 0);
        while (header != std::string::npos) {
            const std::size_t end = SectionEnd(header);
            std::size_t last = header;
            for (std::size_t i = header + 1; i < end; ++i) {
                const std::string_view text = Trim(m_lines[i].text);
                if (!text.empty() && text.front() != ';' && text.front() != '#') last = i;
            }
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                          m_lines.begin() + static_cast<std::ptrdiff_t>(last + 1));
            header = FindHeader(section, header);
        }
    }

    bool m_mark;  // the file began with the UTF-8 byte-order mark: it keeps it
    std::vector<Line> m_lines;
    std::string m_eol;
};

}  // namespace

std::int32_t GetProfileInt(std::string_view section, std::string_view key,
                           std::int32_t defaultValue, const std::string& path) {
    const FileRead file = ReadProfile(path);
    if (!Readable(file)) return defaultValue;
    const std::vector<LineView> lines = SplitLines(Body(file.content));
    const std::size_t header = FindSection(lines, Trim(section));
    if (header == std::string_view::npos) return defaultValue;
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        const Parsed p = Classify(lines[i].text);
        if (p.kind == Kind::Section) break;
        if (p.kind == Kind::Entry && EqualNoCase(p.name, Trim(key))) {
            const std::string_view value =
                StripQuotes(lines[i].text.substr(p.valueBegin, p.valueEnd - p.valueBegin));
            if (value.empty()) return defaultValue;
            return ParseLeadingInt(value);
        }
    }
    return defaultValue;
}

std::string GetProfileString(std::string_view section, std::optional<std::string_view> key,
                             std::string_view defaultValue, const std::string& path) {
    const FileRead file = ReadProfile(path);
    const std::vector<LineView> lines =
        Readable(file) ? SplitLines(Body(file.content)) : std::vector<LineView>{};
    const std::size_t header = FindSection(lines, Trim(section));
    std::vector<std::string_view> keys;
    if (header != std::string_view::npos) {
        for (std::size_t i = header + 1; i < lines.size(); ++i) {
            const Parsed p = Classify(lines[i].text);
            if (p.kind == Kind::Section) break;
            if (p.kind != Kind::Entry) continue;
            if (!key) {
                keys.push_back(p.name);
            } else if (EqualNoCase(p.name, Trim(*key))) {
                const std::string_view value =
                    StripQuotes(lines[i].text.substr(p.valueBegin, p.valueEnd - p.valueBegin));
                return std::string(value.substr(0, kProfileBufferSize - 1));
            }
        }
    }
    if (!key) return BuildNameList(keys);
    // The default is delivered as a value would be: trailing blanks and one pair of quotes off.
    while (!defaultValue.empty() && IsBlank(defaultValue.back())) defaultValue.remove_suffix(1);
    return std::string(StripQuotes(defaultValue).substr(0, kProfileBufferSize - 1));
}

std::string GetProfileSectionNames(const std::string& path) {
    const FileRead file = ReadProfile(path);
    std::vector<std::string_view> names;
    if (Readable(file)) {
        for (const LineView& line : SplitLines(Body(file.content))) {
            const Parsed p = Classify(line.text);
            if (p.kind == Kind::Section) names.push_back(p.name);
        }
    }
    return BuildNameList(names);
}

std::int32_t WriteProfileChanges(std::span<const ProfileChange> changes, const std::string& path) {
    t_writeError.clear();
    if (path.empty()) {
        t_writeError = "ファイル名がありません";
        return 0;
    }
    if (!std::all_of(changes.begin(), changes.end(), IsStorable)) {
        t_writeError = "名前か値に、ファイルに書けば読み戻せない文字 (改行など) があります";
        return 0;
    }
    const std::string target = ReplaceTarget(path);
    const FileRead file = ReadProfile(target);
    if (Unreadable(file)) {  // never replace what could not be read
        t_writeError = ProfileFailureText(file, target);
        return 0;
    }
    Document document(file.content);
    for (const ProfileChange& change : changes) document.Apply(change);
    std::string text = document.Text();
    if (text == file.content && (Readable(file) || text.empty())) return 1;
    try {
        ReplaceFileContent(target, text);
    } catch (const FileError& error) {
        t_writeError = error.what();
        return 0;
    }
    return 1;
}

const std::string& LastProfileWriteError() noexcept { return t_writeError; }

std::string ProfileReadProblem(const std::string& path) {
    const FileRead file = ReadProfile(path);
    return Unreadable(file) ? ProfileFailureText(file, path) : std::string();
}

std::int32_t WriteProfileString(std::string_view section, std::optional<std::string_view> key,
                                std::optional<std::string_view> value, const std::string& path) {
    const ProfileChange change{section, key, value};
    return WriteProfileChanges(std::span<const ProfileChange>(&change, 1), path);
}

void SetProfileWriteHooks(ProfileWriteHooks hooks) { SetFileWriteHooks(std::move(hooks)); }

}  // namespace pelimator::settings
