#pragma once

#include <string>

namespace setting {

// "Lunder\Orvel4", followed by "\name" when name is neither null nor empty.
std::string MakeAppKeyPath(const char* name = nullptr);

// "SOFTWARE\" followed by MakeAppKeyPath(name).
std::string MakeSoftwareKeyPath(const char* name);

} // namespace setting
