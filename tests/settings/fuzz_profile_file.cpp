// libFuzzer target: any file content through the profile readers and a write, with invariants.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include "settings/ini_edit.h"
#include "settings/profile_file.h"

namespace {

using pelimator::settings::clsIniEdit;
using pelimator::settings::kProfileBufferSize;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const std::string& ScratchPath() {
    static const std::string path = [] {
        // tmpfs keeps the per-run fsync cheap.
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(base) + "/pelimator-fuzz-" + std::to_string(::getpid()) + ".ini";
    }();
    return path;
}

// What a read gives back for a written value: blanks at either end dropped, then one pair of
// matching surrounding quotes.
std::string AsRead(std::string value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!value.empty() && blank(value.back())) value.pop_back();
    std::size_t begin = 0;
    while (begin < value.size() && blank(value[begin])) ++begin;
    value.erase(0, begin);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

bool IsNameList(const std::string& list) {
    return list.size() >= 2 && list.size() <= kProfileBufferSize &&
           list.compare(list.size() - 2, 2, std::string(2, '\0')) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(16);
    const std::string key = input.ConsumeRandomLengthString(16);
    const std::string value = input.ConsumeRandomLengthString(32);
    const int operation = input.ConsumeIntegralInRange(0, 3);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const std::string& path = ScratchPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    clsIniEdit ini;
    ini.IniFilePath(path);

    (void)ini.GetInt(section, key, 7);
    const std::string before = ini.GetString(section, key, "~default~");
    Require(before.size() < kProfileBufferSize, "value longer than the buffer");
    const std::string keys = pelimator::settings::GetProfileString(section, std::nullopt, "", path);
    Require(IsNameList(keys), "key list malformed");
    Require(IsNameList(pelimator::settings::GetProfileSectionNames(path)),
            "section list malformed");
    std::string names[4];
    Require(ini.GetSectionNames(names) <= 4, "too many section names");
    Require(ini.GetKeyNames(section, names) <= 4, "too many key names");

    // A value of another key, to check that a write leaves it alone.
    const std::string otherKey = key + "_other";
    const std::string otherBefore = ini.GetString(section, otherKey, "~none~");

    switch (operation) {
        case 0:
            if (ini.WriteString(section, key, value) != 0) {
                Require(ini.GetString(section, key, "~gone~") == AsRead(value),
                        "written value lost");
            }
            break;
        case 1:
            if (ini.DeleteKey(section, key) != 0) {
                // Each delete removes the first occurrence, as the classic function does; a key
                // written twice in its section is gone after as many deletes.
                for (std::size_t left = content.size(); left > 0; --left) {
                    if (ini.GetString(section, key, "~gone~") == "~gone~") break;
                    Require(ini.DeleteKey(section, key) != 0, "repeated delete failed");
                }
                Require(ini.GetString(section, key, "~gone~") == "~gone~", "deleted key remains");
            }
            break;
        case 2:
            if (ini.DeleteSection(section) != 0) {
                Require(ini.GetString(section, key, "~gone~") == "~gone~",
                        "deleted section remains");
            }
            break;
        default:
            (void)ini.WriteString("Fuzz", "Key", "1");
            break;
    }
    if (operation != 2) {
        Require(ini.GetString(section, otherKey, "~none~") == otherBefore,
                "another key's value changed");
    }
    std::remove(path.c_str());
    return 0;
}
