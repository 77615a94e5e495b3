// DXF as a flat sequence of tags (group code, value): split from a buffer without copying, in
// the ASCII and the binary form, and written in either form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace pelimator::board {

enum class DxfForm : std::uint8_t { Ascii, Binary };

// What the value of a group code is; the format fixes it by ranges of codes. In binary files
// the kind also fixes the value's size.
enum class DxfValueKind : std::uint8_t { Text, Real, Int16, Int32, Int64, Bool, Bytes, Unknown };
[[nodiscard]] DxfValueKind ValueKindOf(int code) noexcept;

// The 22 bytes a binary DXF starts with.
inline constexpr std::string_view kDxfBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// How a file writes its tags, as found at its start.
struct DxfLayout {
    DxfForm form = DxfForm::Ascii;
    bool wideCodes = true;   // binary: 2-byte group codes (R13 on); 1 byte with 255 escape (R12)
    std::string eol = "\n";  // ASCII: the line end of the file's first line
    std::size_t begin = 0;   // offset of the first tag (after a byte order mark or sentinel)
};
[[nodiscard]] DxfLayout DetectLayout(std::string_view data) noexcept;

// One tag. For numeric kinds the value is parsed (real or integer); text is the value line
// without its line end (ASCII) or the bytes before the terminating NUL (binary).
struct DxfTag {
    int code = 0;
    std::string_view value;  // ASCII: the value line as written (blanks kept); binary: raw bytes
    std::size_t begin = 0;   // offset of the tag's first byte
    std::size_t end = 0;     // offset just past it (line end included)
    double real = 0.0;
    std::int64_t integer = 0;
};

// Splits data into tags, checking each: group codes 0..1071, numbers well formed and finite,
// integers within 32 bits (64 for the 64-bit codes), no control characters in ASCII lines.
// Failures raise FileError "図面ファイル「fileName」を開けません: N 行目: ..." (binary files name
// the byte offset instead of the line).
class DxfTagReader {
public:
    DxfTagReader(std::string_view data, const DxfLayout& layout, std::string fileName);

    // Reads the next tag; false at the end of the data (no partial tag: a cut pair fails).
    bool Next(DxfTag& tag);
    // Continues at offset (the start of a tag, as a tag's begin gave it); firstLine: the line
    // number of that offset in an ASCII file (1-based).
    void Seek(std::size_t offset, std::size_t firstLine) noexcept;
    [[nodiscard]] std::size_t Offset() const noexcept { return m_pos; }

    // Whether any text seen had bytes above 0x7F, and whether all such text was valid Shift-JIS
    // or valid UTF-8.
    [[nodiscard]] bool SawNonAscii() const noexcept { return m_nonAscii; }
    [[nodiscard]] bool AllShiftJis() const noexcept { return m_shiftJis; }
    [[nodiscard]] bool AllUtf8() const noexcept { return m_utf8; }

    // Raises FileError for the tag last read ("N 行目: what").
    [[noreturn]] void Fail(const std::string& what) const;
    // "N 行目" (ASCII) or "バイト位置 N" (binary) of the tag last read, for messages.
    [[nodiscard]] std::string Where() const;

private:
    bool NextAscii(DxfTag& tag);
    bool NextBinary(DxfTag& tag);
    // Binary DXF: the group code, the value of a text or binary chunk, and a fixed-size value.
    [[nodiscard]] int BinaryCode();
    void BinaryText(DxfTag& tag);
    void BinaryChunk(DxfTag& tag);
    void BinaryFixed(DxfTag& tag, DxfValueKind kind);
    void Need(std::size_t bytes) const;
    bool Line(std::string_view& line);
    void ParseValue(DxfTag& tag, std::string_view trimmed) const;
    void NoteText(std::string_view text) noexcept;

    std::string_view m_data;
    DxfLayout m_layout;
    std::string m_fileName;
    std::size_t m_pos = 0;
    std::size_t m_line = 0;      // ASCII: lines read so far
    std::size_t m_tagBegin = 0;  // offset of the tag last read
    bool m_nonAscii = false;
    bool m_shiftJis = true;
    bool m_utf8 = true;
};

// Leading and trailing blanks (spaces, tabs, CR) removed.
[[nodiscard]] std::string_view TrimDxf(std::string_view value) noexcept;

// Whether text is valid Shift-JIS (code page 932): ASCII, half-width kana, or a lead byte
// 0x81-0x9F / 0xE0-0xFC followed by a trail byte 0x40-0x7E / 0x80-0xFC.
[[nodiscard]] bool IsValidShiftJis(std::string_view text) noexcept;

// Appends tags in a file's form to a byte string: ASCII lines with group codes right-aligned in
// three columns and the file's line end; binary values by the code's kind.
class DxfEmitter {
public:
    explicit DxfEmitter(DxfLayout layout) : m_layout(std::move(layout)) {}

    void Text(int code, std::string_view value);
    // Shortest fixed notation that reads back to the same double.
    void Real(int code, double value);
    void Integer(int code, std::int64_t value);
    // A handle (hexadecimal, upper case) as text.
    void Handle(int code, std::uint64_t handle);
    // Binary data (groups 310-319, 1004) given as raw bytes: hexadecimal in ASCII, a chunk with
    // its length in binary (at most 255 bytes; longer data is split over several chunks).
    void Chunk(int code, std::string_view bytes);
    // Bytes copied as they are (a kept tag).
    void Raw(std::string_view bytes) { m_out.append(bytes); }

    [[nodiscard]] std::string& Out() noexcept { return m_out; }

private:
    void Code(int code);

    DxfLayout m_layout;
    std::string m_out;
};

// A handle's text as a number; none when it is not 1..16 hexadecimal digits.
[[nodiscard]] bool ParseHandle(std::string_view text, std::uint64_t& handle) noexcept;

}  // namespace pelimator::board
