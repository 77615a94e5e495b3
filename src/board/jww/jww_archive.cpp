// The MFC archive form of JWW files: bounded reads and the matching writes.
#include "board/jww/jww_archive.h"

#include <array>
#include <bit>
#include <cstring>

#include "base/errors.h"
#include "board/jww/jww_text.h"

namespace pelimator::board::jww {

static_assert(std::endian::native == std::endian::little, "JWW is little-endian");

void ArchiveReader::Fail(const std::string& what) const { Fail(what, m_pos); }

void ArchiveReader::Fail(const std::string& what, std::size_t at) const {
    throw FileError("ファイル「" + m_fileName + "」を JWW として読めません: " + what + " (" +
                    std::to_string(at) + " バイト目)");
}

void ArchiveReader::Need(std::size_t count) const {
    if (count > Remaining()) Fail("ファイルが途中で終わっています");
}

std::uint8_t ArchiveReader::Byte() {
    Need(1);
    return static_cast<std::uint8_t>(m_bytes[m_pos++]);
}

std::uint16_t ArchiveReader::Word() {
    Need(2);
    std::uint16_t value = 0;
    std::memcpy(&value, m_bytes.data() + m_pos, 2);
    m_pos += 2;
    return value;
}

std::uint32_t ArchiveReader::Dword() {
    Need(4);
    std::uint32_t value = 0;
    std::memcpy(&value, m_bytes.data() + m_pos, 4);
    m_pos += 4;
    return value;
}

double ArchiveReader::Double() {
    Need(8);
    double value = 0.0;
    std::memcpy(&value, m_bytes.data() + m_pos, 8);
    m_pos += 8;
    return value;
}

void ArchiveReader::Skip(std::size_t count) {
    Need(count);
    m_pos += count;
}

std::string ArchiveReader::String() {
    std::size_t length = Byte();
    std::size_t unit = 1;
    if (length == 0xFF) {
        length = Word();
        if (length == 0xFFFE) {
            unit = 2;
            length = Byte();
            if (length == 0xFF) length = Word();
        }
        if (length == 0xFFFF) length = Dword();
    }
    if (length > Remaining() / unit)
        Fail("ファイルが途中で終わっています (文字列の長さ " + std::to_string(length) +
             " が残りの " + std::to_string(Remaining()) + " バイトを超えています)");
    std::string text(m_bytes.substr(m_pos, length * unit));
    m_pos += length * unit;
    m_wide = unit == 2;
    return text;
}

std::string ArchiveReader::Text() {
    std::string bytes = String();
    return ShownText(m_wide ? FromUtf16(bytes) : FromShiftJis(bytes));
}

std::uint32_t ArchiveReader::Count() {
    const std::uint16_t count = Word();
    if (count != 0xFFFF) return count;
    return Dword();
}

TagKind ArchiveReader::Tag(std::uint32_t& index) {
    const std::size_t at = m_pos;
    const std::uint16_t tag = Word();
    index = 0;
    if (tag == kNullTag) return TagKind::Null;
    if (tag == kNewClassTag) return TagKind::NewClass;
    if (tag == kBigObjectTag) {
        const std::uint32_t big = Dword();
        index = big & ~kBigClassTag;
        if (index > kMaxMapIndex) Fail("図形の番号が大きすぎます", at);
        return (big & kBigClassTag) != 0 ? TagKind::ClassRef : TagKind::ObjectRef;
    }
    if ((tag & kClassTag) != 0) {
        index = tag & ~kClassTag;
        return TagKind::ClassRef;
    }
    index = tag;
    return TagKind::ObjectRef;
}

void PutByte(std::string& out, std::uint8_t value) { out.push_back(static_cast<char>(value)); }

void PutWord(std::string& out, std::uint16_t value) {
    std::array<char, 2> bytes{};
    std::memcpy(bytes.data(), &value, 2);
    out.append(bytes.data(), 2);
}

void PutDword(std::string& out, std::uint32_t value) {
    std::array<char, 4> bytes{};
    std::memcpy(bytes.data(), &value, 4);
    out.append(bytes.data(), 4);
}

void PutDouble(std::string& out, double value) {
    std::array<char, 8> bytes{};
    std::memcpy(bytes.data(), &value, 8);
    out.append(bytes.data(), 8);
}

void PutString(std::string& out, std::string_view bytes) {
    if (bytes.size() < 0xFF) {
        PutByte(out, static_cast<std::uint8_t>(bytes.size()));
    } else if (bytes.size() < 0xFFFE) {
        PutByte(out, 0xFF);
        PutWord(out, static_cast<std::uint16_t>(bytes.size()));
    } else {
        PutByte(out, 0xFF);
        PutWord(out, 0xFFFF);
        PutDword(out, static_cast<std::uint32_t>(bytes.size()));
    }
    out.append(bytes);
}

void PutWideString(std::string& out, std::string_view utf16) {
    const std::size_t characters = utf16.size() / 2;
    PutByte(out, 0xFF);
    PutWord(out, 0xFFFE);
    if (characters < 0xFF) {
        PutByte(out, static_cast<std::uint8_t>(characters));
    } else if (characters < 0xFFFE) {
        PutByte(out, 0xFF);
        PutWord(out, static_cast<std::uint16_t>(characters));
    } else {
        PutByte(out, 0xFF);
        PutWord(out, 0xFFFF);
        PutDword(out, static_cast<std::uint32_t>(characters));
    }
    out.append(utf16.substr(0, characters * 2));
}

void PutCount(std::string& out, std::uint32_t count) {
    if (count < 0xFFFF) {
        PutWord(out, static_cast<std::uint16_t>(count));
    } else {
        PutWord(out, 0xFFFF);
        PutDword(out, count);
    }
}

void PutClassRef(std::string& out, std::uint32_t index) {
    if (index < kBigObjectTag) {
        PutWord(out, static_cast<std::uint16_t>(kClassTag | index));
    } else {
        PutWord(out, kBigObjectTag);
        PutDword(out, kBigClassTag | index);
    }
}

void PutObjectRef(std::string& out, std::uint32_t index) {
    if (index < kBigObjectTag) {
        PutWord(out, static_cast<std::uint16_t>(index));
    } else {
        PutWord(out, kBigObjectTag);
        PutDword(out, index);
    }
}

void PutNewClass(std::string& out, std::uint16_t schema, std::string_view name) {
    PutWord(out, kNewClassTag);
    PutWord(out, schema);
    PutWord(out, static_cast<std::uint16_t>(name.size()));
    out.append(name);
}

}  // namespace pelimator::board::jww
