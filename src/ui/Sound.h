// Button sounds through the desktop's event sound library (libcanberra).
#pragma once

#include <string_view>

namespace pavana {

// Starts playing, without waiting, the sound file of that name when such a file exists, else
// the program's raw data resource of that name. Returns true when a sound was started, false
// for an empty name or one that is neither a file nor a resource. A sound device that is
// missing or busy is not reported: the sound is simply not heard.
bool PlaySoundByName(std::string_view name);

}  // namespace pavana
