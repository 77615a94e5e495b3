// Hostile and heavy JWW files: reading stays bounded in time and memory, can be given up, and
// what blocks fanning out would draw beneath stops at the work limit (or is not built at all).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "board/jww/jww_archive.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_underlay.h"

namespace pelimator::board {
namespace {

using jww::PutCount;
using jww::PutDouble;
using jww::PutDword;
using jww::PutWord;

// Lays out the part of a version-700 file after its header: the archive's tags as MFC writes
// them (a class is new the first time, a reference after, unless told to store it anew).
class Archive {
public:
    // The tag of an object of class name, and its map index.
    void Tag(const std::string& name, bool storeAnew = false) {
        const auto known = m_classes.find(name);
        if (known == m_classes.end() || storeAnew) {
            jww::PutNewClass(out, 600, name);
            m_classes[name] = m_next++;
        } else {
            jww::PutClassRef(out, known->second);
        }
        ++m_next;  // the object
    }
    // The part every entity starts with (version 351 on).
    void Common(std::uint16_t layer = 0) {
        PutDword(out, 0);
        out.push_back(1);
        PutWord(out, 2);
        PutWord(out, 0);
        PutWord(out, layer);
        PutWord(out, 0);
        PutWord(out, 0);
    }
    void Point(double x, double y, bool storeAnew = false) {
        Tag("CDataTen", storeAnew);
        Common();
        PutDouble(out, x);
        PutDouble(out, y);
        PutDword(out, 0);
    }
    void Insert(std::uint32_t block, double x, double y) {
        Tag("CDataBlock");
        Common();
        PutDouble(out, x);
        PutDouble(out, y);
        PutDouble(out, 1.0);
        PutDouble(out, 1.0);
        PutDouble(out, 0.0);
        PutDword(out, block);
    }
    // A block definition's head; count objects follow.
    void BlockHead(std::uint32_t number, std::uint32_t count) {
        Tag("CDataList");
        Common();
        PutDword(out, number);
        PutDword(out, 0);
        PutDword(out, 0);
        jww::PutString(out, "B" + std::to_string(number));
        PutCount(out, count);
    }

    std::string out;

private:
    std::map<std::string, std::uint32_t> m_classes;
    std::uint32_t m_next = 1;
};

// A whole file: a new drawing's header, then entities and blocks as laid out by make (which
// writes the entity list and the block list, counts included), then no images.
template <typename Make>
std::string JwwFile(Make&& make) {
    std::vector<LayerData> layers = {{0, "0", {}, true}};
    const std::string empty = NewJwwBytes(layers, 1.0);
    const std::size_t headerEnd = ReadJwwBytes(empty, "new.jww").source->entityCountAt;
    Archive archive;
    make(archive);
    std::string file = empty.substr(0, headerEnd) + archive.out;
    PutDword(file, 0);
    return file;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// About 100 MB: a million classes stored anew, then a million objects of the last one. Finding a
// reference's class by walking the list of classes took some 10^12 steps; indexed, seconds.
TEST(JwwHostile, ReferencesToTheLastOfAMillionClassesReadInBoundedTime) {
    constexpr std::uint32_t kClasses = 1'000'000;
    constexpr std::uint32_t kReferences = 1'250'000;
    const std::string file = JwwFile([](Archive& a) {
        PutCount(a.out, kClasses + kReferences);
        for (std::uint32_t i = 0; i < kClasses; ++i) a.Point(i, 0.0, true);
        for (std::uint32_t i = 0; i < kReferences; ++i) a.Point(i, 1.0);
        PutCount(a.out, 0);
    });
    ASSERT_GT(file.size(), std::size_t{100'000'000});
    const auto started = std::chrono::steady_clock::now();
    JwwReadOptions options;
    options.underlay = false;
    const JwwReadResult read = ReadJwwBytes(file, "hostile.jww", options);
    EXPECT_LT(Seconds(started), 60.0);
    EXPECT_EQ(read.shapes.size(), std::size_t{kClasses} + kReferences);
}

// Null tags in a block cost ten times their bytes: the read is refused, naming what it would
// need and what it may use, once the part read shows it would not fit, not after allocating.
TEST(JwwHostile, AFileThatWouldNotFitInMemoryIsRefusedWithTheFigures) {
    const std::string nullTags = JwwFile([](Archive& a) {
        PutCount(a.out, 0);
        PutCount(a.out, 1);
        a.BlockHead(1, 10'000'000);
        for (int i = 0; i < 10'000'000; ++i) PutWord(a.out, 0);
    });
    const std::string hugeCount = JwwFile([](Archive& a) {
        PutCount(a.out, 0xFFFFFFF0U);
        for (int i = 0; i < 300'000; ++i) a.Point(i, 0.0);
        PutCount(a.out, 0);
    });
    const struct {
        const char* name;
        const std::string* file;
        const char* withRoom;  // the read's outcome with memory enough: nullptr opened
    } rows[] = {{"null tags", &nullTags, nullptr},
                {"a count beyond the file", &hugeCount, "途中で終わっています"}};
    for (const auto& [name, file, withRoom] : rows) {
        SCOPED_TRACE(name);
        JwwReadOptions options;
        options.memoryBudget = std::uint64_t{16} << 20U;
        std::string message;
        try {
            (void)ReadJwwBytes(*file, "big.jww", options);
        } catch (const FileError& error) {
            message = error.what();
        }
        EXPECT_NE(message.find("メモリが要ります"), std::string::npos) << message;
        EXPECT_NE(message.find("使えるのは約 16 MB"), std::string::npos) << message;
        EXPECT_NE(message.find("big.jww"), std::string::npos) << message;
        // With room enough the same file is read: it opens, or is refused as the damaged
        // file it is.
        options.memoryBudget = std::uint64_t{2} << 30U;
        message.clear();
        try {
            (void)ReadJwwBytes(*file, "big.jww", options);
        } catch (const FileError& error) {
            message = error.what();
        }
        if (withRoom == nullptr) {
            EXPECT_EQ(message, "");
        } else {
            EXPECT_NE(message.find(withRoom), std::string::npos) << message;
        }
    }
}

// Esc during a read: the reader gives up soon after the flag is set.
TEST(JwwHostile, AReadGivenUpStops) {
    const std::string file = JwwFile([](Archive& a) {
        PutCount(a.out, 100'000);
        for (int i = 0; i < 100'000; ++i) a.Point(i, 0.0);
        PutCount(a.out, 0);
    });
    std::atomic<bool> cancel{true};
    JwwReadOptions options;
    options.cancel = &cancel;
    EXPECT_THROW((void)ReadJwwBytes(file, "cancelled.jww", options), Cancelled);
    cancel = false;
    EXPECT_NO_THROW((void)ReadJwwBytes(file, "cancelled.jww", options));
}

// Blocks of ten inserts of the next block, sixteen deep, inserted once: 10^16 shapes to draw
// beneath from a file of a few kilobytes. The picture stops at the work limit and says so; a
// read without a picture builds none.
TEST(JwwHostile, BlocksFanningOutStopAtTheWorkLimit) {
    constexpr std::uint32_t kDepth = 16;
    const std::string file = JwwFile([](Archive& a) {
        PutCount(a.out, 2);
        a.Point(0.0, 0.0);
        a.Insert(1, 0.0, 0.0);
        PutCount(a.out, kDepth);
        for (std::uint32_t b = kDepth; b >= 1; --b) {
            a.BlockHead(b, 12);
            a.Point(1.0, 1.0);
            a.Point(2.0, 1.0);
            for (int i = 0; i < 10; ++i) a.Insert(b + 1, i * 3.0, 0.0);
        }
    });
    const auto started = std::chrono::steady_clock::now();
    const JwwReadResult shown = ReadJwwBytes(file, "fan.jww");
    const double shownSeconds = Seconds(started);
    ASSERT_NE(shown.underlay, nullptr);
    EXPECT_EQ(shown.report.leftOut, 1U);
    EXPECT_NE(shown.report.Summary().find("上限"), std::string::npos) << shown.report.Summary();
    const Underlay& u = *shown.underlay;
    EXPECT_LE(u.points.size() + 4 * u.snapPoints.size() + 8 * u.items.size(),
              jww::JwwUnderlayWorkLimit(file.size()));
    EXPECT_LT(shownSeconds, 30.0);

    JwwReadOptions noPicture;
    noPicture.underlay = false;
    const JwwReadResult plain = ReadJwwBytes(file, "fan.jww", noPicture);
    EXPECT_EQ(plain.underlay, nullptr);
    EXPECT_EQ(plain.report.leftOut, 0U);
    EXPECT_EQ(plain.blocks.size(), kDepth);
}

}  // namespace
}  // namespace pelimator::board
