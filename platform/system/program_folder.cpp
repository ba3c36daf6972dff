#include "platform/system/program_folder.h"

#include <unistd.h>

namespace tandrel {

std::string ProgramFolder()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string folder(path, size_t(length));
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : folder.substr(0, slash);
}

std::string XtrasFolder()
{
    return ProgramFolder() + "/KD_Xtras";
}

} // namespace tandrel
