#pragma once
#include <string>

namespace tandrel {

/** The folder holding the running executable (through /proc/self/exe), without a trailing
    '/'; empty when it cannot be found. KD_Xtras, KD_Grafix, Third Party and User Guide sit
    beside the executable in it. Any thread. */
std::string ProgramFolder();

/** ProgramFolder() + "/KD_Xtras": the plug-ins and the optional libraries. */
std::string XtrasFolder();

} // namespace tandrel
