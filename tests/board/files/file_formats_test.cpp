// The registered formats against the real drawings other programs wrote: each file is claimed
// by its own format only, read through the interface into a source that format alone owns, and
// saved back unchanged through it byte for byte.
#include "board/files/file_formats.h"

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "board/files/drawing_file.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CorpusFolder {
    const char* folder;
    const char* extension;
    const char* format;  // the name of the format that must claim its files
};

constexpr CorpusFolder kFolders[] = {
    {"real-dxf", ".dxf", "DXF"},
    {"real-jww", ".jww", "JWW"},
};

// Every format names a different extension and dialog entry: the save dialog and the extension
// look-up would otherwise pick one of two formats at random.
TEST(FileFormats, RegisteredFormatsAreDistinctAndFoundByTheirExtension) {
    const auto formats = FileFormats();
    ASSERT_GE(formats.size(), 2U);
    for (const FileFormat* format : formats) {
        EXPECT_EQ(FormatOfExtension(std::string("a/b") + format->Extension()), format);
        for (const FileFormat* other : formats) {
            if (other == format) continue;
            EXPECT_NE(format->Name(), other->Name());
            EXPECT_STRNE(format->Extension(), other->Extension());
        }
    }
}

TEST(FileFormats, EachRealDrawingIsClaimedAndOwnedByItsOwnFormatOnly) {
    std::size_t files = 0;
    for (const CorpusFolder& row : kFolders) {
        for (const auto& path : testing::RealDrawings(row.folder, row.extension)) {
            ++files;
            const std::string bytes = Slurp(path);
            const FileFormat* claimer = nullptr;
            for (const FileFormat* format : FileFormats()) {
                if (!format->Claims(bytes, path.string())) continue;
                EXPECT_EQ(claimer, nullptr) << path << ": claimed by two formats";
                claimer = format;
            }
            ASSERT_NE(claimer, nullptr) << path << ": no format claims it";
            EXPECT_EQ(claimer->Name(), row.format) << path;
            EXPECT_EQ(FormatOfExtension(path.string()), claimer) << path;
            const DrawingRead read = ReadDrawingFile(path.string(), {false, nullptr});
            ASSERT_NE(read.source, nullptr) << path;
            ASSERT_NE(read.report, nullptr) << path;
            for (const FileFormat* format : FileFormats()) {
                EXPECT_EQ(format->Owns(*read.source), format == claimer) << path;
            }
        }
    }
    if (!testing::RealCorpus()) GTEST_SKIP() << "the real corpus is absent";
    EXPECT_GT(files, 40U);
}

// Saved unchanged to a new name of its own extension, a drawing is the file it was read from,
// except where the reader repaired a missing closing record (said in its summary).
TEST(FileFormats, UnchangedRealDrawingsSaveBackTheirOwnBytes) {
    if (!testing::RealCorpus()) GTEST_SKIP() << "the real corpus is absent";
    testing::TempDir dir;
    std::size_t same = 0;
    for (const CorpusFolder& row : kFolders) {
        for (const auto& path : testing::RealDrawings(row.folder, row.extension)) {
            const auto application = BoardApplication::Create();
            const OpenedDrawing opened = OpenDrawing(*application, path.string(), {false, nullptr});
            const std::string out = dir.File(std::string("copy") + row.extension);
            EXPECT_EQ(&SaveFormat(*opened.document, out),
                      &FormatOfSource(opened.document->Source().get()));
            EXPECT_TRUE(SaveLosses(*opened.document, out).empty()) << path;
            SaveDrawing(*opened.document, out);
            const bool repaired = opened.Summary().find("補") != std::string::npos;
            if (repaired) continue;
            EXPECT_EQ(Slurp(out), Slurp(path)) << path << ": " << opened.Summary();
            ++same;
        }
    }
    EXPECT_GT(same, 30U);
}

}  // namespace
}  // namespace pelimator::board
