# Turns a text file into a C++ source defining `std::string_view <NAME>() noexcept` in namespace
# <NAMESPACE> that returns the file's bytes, unchanged. Run as a script at build time:
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=Function -DNAMESPACE=ns -P embed_text.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
# Sixteen bytes to a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REPEAT "'[^']+'," 16 sixteen)
string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")
cmake_path(GET INPUT FILENAME inputName)
file(CONFIGURE OUTPUT "${OUTPUT}" @ONLY CONTENT [[// Made from @inputName@ by embed_text.cmake at build time.
#include <string_view>

namespace @NAMESPACE@ {

std::string_view @NAME@() noexcept {
    static constexpr char kBytes[@size@ + 1] = {
    @bytes@'\0'};
    return {kBytes, @size@};
}

}  // namespace @NAMESPACE@
]])
