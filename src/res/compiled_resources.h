// The program's resources as the resource compiler makes them of Quillet.rc, built in for the
// headless user interface and the resource checks, so that both read the very resources the
// program carries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet {

const std::uint8_t* CompiledResourceData();
std::size_t CompiledResourceSize();

}  // namespace quillet
