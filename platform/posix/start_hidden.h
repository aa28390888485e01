// How the launcher tells a program it starts that it starts hidden, on
// systems without a show state for new processes.
#pragma once

namespace platform {

constexpr char kStartHiddenVariable[] = "VOSSIK_START_HIDDEN";

}  // namespace platform
