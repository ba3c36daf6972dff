#pragma once
#include <string>

namespace tandrel {

/** The last part of `path`, after its last '/': "/a/Talk.kdw" gives "Talk.kdw". Any thread. */
inline std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/** The file name of `path` without its folder and extension: "/a/Talk.v2.kdw" gives
    "Talk.v2". A period in a folder name is not an extension. Any thread. */
inline std::string TitleFromPath(const std::string& path)
{
    std::string name = FileNameOf(path);
    const size_t period = name.rfind('.');
    if (period != std::string::npos) name.erase(period);
    return name;
}

} // namespace tandrel
