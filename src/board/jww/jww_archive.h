// The MFC archive form that JWW files are written in: little-endian numbers, counted strings,
// counts, and the tags that introduce classes and objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelimator::board::jww {

// Tag values of the archive (MFC's persistent object format).
inline constexpr std::uint16_t kNullTag = 0x0000;       // a null object
inline constexpr std::uint16_t kBigObjectTag = 0x7FFF;  // a DWORD index follows
inline constexpr std::uint16_t kClassTag = 0x8000;      // | index: an object of a known class
inline constexpr std::uint16_t kNewClassTag = 0xFFFF;   // a class stored for the first time
inline constexpr std::uint32_t kBigClassTag = 0x80000000U;
// Indexes of the archive's map: classes and objects count together, from 1 on.
inline constexpr std::uint32_t kMaxMapIndex = 0x3FFFFFFEU;

// A tag as read: what it is, and the index it names (a reference's target, or for a new class
// nothing: the class takes the next index).
enum class TagKind : std::uint8_t { Null, ObjectRef, ClassRef, NewClass };

// Reads an archive from memory. Every read checks the bounds and raises FileError with what and
// where (the file name and byte offset) in Japanese.
class ArchiveReader {
public:
    ArchiveReader(std::string_view bytes, std::string fileName)
        : m_bytes(bytes), m_fileName(std::move(fileName)) {}

    [[nodiscard]] std::size_t Position() const noexcept { return m_pos; }
    [[nodiscard]] std::size_t Remaining() const noexcept { return m_bytes.size() - m_pos; }
    [[nodiscard]] std::string_view Bytes() const noexcept { return m_bytes; }

    std::uint8_t Byte();
    std::uint16_t Word();
    std::uint32_t Dword();
    double Double();
    void Skip(std::size_t count);
    // A CString: BYTE length; 0xFF: WORD length; 0xFFFF there: DWORD length. A WORD 0xFFFE after
    // the first 0xFF marks UTF-16 text (length in characters), returned as its raw bytes.
    std::string String();
    // A CString as UTF-8 fit to show (ShownText): Shift-JIS, or UTF-16 where it is marked so
    // (Jw_cad 8 writes every string that way).
    std::string Text();
    // A list count: WORD; 0xFFFF: DWORD.
    std::uint32_t Count();
    // A tag; for a reference, index is its target.
    TagKind Tag(std::uint32_t& index);

    // FileError naming the file, the offset and what is wrong.
    [[noreturn]] void Fail(const std::string& what) const;
    [[noreturn]] void Fail(const std::string& what, std::size_t at) const;

private:
    void Need(std::size_t count) const;

    std::string_view m_bytes;
    std::string m_fileName;
    std::size_t m_pos = 0;
    bool m_wide = false;  // the last string read was UTF-16
};

// Appends archive values to a byte string.
void PutByte(std::string& out, std::uint8_t value);
void PutWord(std::string& out, std::uint16_t value);
void PutDword(std::string& out, std::uint32_t value);
void PutDouble(std::string& out, double value);
void PutString(std::string& out, std::string_view bytes);  // a CString of single-byte text
// A CString of UTF-16 text (little-endian bytes, two a character), as Jw_cad 8 writes them.
void PutWideString(std::string& out, std::string_view utf16);
void PutCount(std::string& out, std::uint32_t count);
// A reference to the class at index, and a reference to the object at index, in the short form
// below kBigObjectTag and the long form from there on.
void PutClassRef(std::string& out, std::uint32_t index);
void PutObjectRef(std::string& out, std::uint32_t index);
// A class stored for the first time.
void PutNewClass(std::string& out, std::uint16_t schema, std::string_view name);

}  // namespace pelimator::board::jww
