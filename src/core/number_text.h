#pragma once
// Numbers as the interface shows them.
#include <string>

namespace fw {

// "12,345,678" with the given separator.
std::string GroupThousands(long long value, char separator);

}  // namespace fw
