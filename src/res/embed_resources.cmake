# Turns the compiled resource file into a C++ source that holds its bytes.
# cmake -DINPUT=Quillet.res -DOUTPUT=compiled_resources.cpp -P embed_resources.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp" "// Made by embed_resources.cmake from ${INPUT}.
#include \"res/compiled_resources.h\"

namespace quillet {

namespace {
const std::uint8_t kData[] = {
${bytes}
};
}  // namespace

const std::uint8_t* CompiledResourceData() {
    return kData;
}

std::size_t CompiledResourceSize() {
    return ${size};
}

}  // namespace quillet
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
