// The catalogue's two boxes about a folder that lacks its files, as the Windows program shows
// them; front ends that say the same in their own words recognise them by these texts.
#pragma once

namespace quillet {

inline constexpr char kNoFirmwareFileBox[] = "Not found firmware file !";
inline constexpr char kNoCatalogueBox[] = "Not found tarvex.ini file !";

}  // namespace quillet
