// The text tag reader against a plain reference: lines split at '\n', a CR before it dropped, any
// other control character but a tab refused, non-ASCII bytes noticed.
#include "board/dxf/dxf_tags.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/errors.h"

namespace pelimator::board {
namespace {

struct Expected {
    std::vector<std::string> values;
    bool refused = false;
    bool nonAscii = false;
};

// What reading "999\n<value>\n" for each value must give, worked out byte by byte.
Expected Reference(const std::vector<std::string>& values) {
    Expected expected;
    for (const std::string& value : values) {
        for (std::size_t i = 0; i < value.size(); ++i) {
            const auto c = static_cast<unsigned char>(value[i]);
            const bool crBeforeEnd = c == '\r' && i + 1 == value.size();
            if (c < 0x20U && c != '\t' && !crBeforeEnd) expected.refused = true;
            if (c >= 0x80U) expected.nonAscii = true;
        }
        std::string line = value;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        expected.values.push_back(line);
    }
    return expected;
}

// Random comment lines over the bytes that matter to the reader: plain letters, blanks, tabs, CRs,
// control characters and bytes of Japanese text, in lines of 0 to 40 bytes, so that every place
// within an eight-byte word is tried.
TEST(DxfTagReader, TextLinesReadAsTheByteByByteRuleSays) {
    const std::string alphabet = std::string("ab 9.\t\r\x01\x1f") + "\x82\xa0\xe3\x81\x82";
    std::mt19937 random(5);
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::string> values(1 + random() % 4);
        for (std::string& value : values) {
            const std::size_t length = random() % 41;
            // Mostly plain lines, as files are; now and then one odd byte.
            for (std::size_t i = 0; i < length; ++i) {
                value += random() % 8 == 0 ? alphabet[random() % alphabet.size()]
                                           : alphabet[random() % 5];
            }
        }
        std::string data;
        for (const std::string& value : values) data += "999\n" + value + "\n";
        const Expected expected = Reference(values);

        DxfTagReader reader(data, DetectLayout(data), "t.dxf");
        std::vector<std::string> read;
        bool refused = false;
        try {
            DxfTag tag;
            while (reader.Next(tag)) read.emplace_back(tag.value);
        } catch (const FileError&) {
            refused = true;
        }
        ASSERT_EQ(refused, expected.refused) << "round " << round;
        if (refused) continue;
        ASSERT_EQ(read, expected.values) << "round " << round;
        ASSERT_EQ(reader.SawNonAscii(), expected.nonAscii) << "round " << round;
    }
}

}  // namespace
}  // namespace pelimator::board
