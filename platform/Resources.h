// Files compiled into the plug-in (the minBLEP table, later the panel images), found by
// their file names.
#pragma once

#include <string_view>

namespace moraine {

// The bytes of the embedded file `name` (its name in resources/), empty when there is
// none. The bytes live as long as the library.
std::string_view findResource(std::string_view name);

} // namespace moraine
