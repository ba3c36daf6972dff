#include "platform/system/shared_library.h"

#include <dlfcn.h>

namespace tandrel {

bool SharedLibrary::Load(const std::string& path)
{
    Unload();
    // RTLD_LOCAL: two plug-ins exporting the same names must not bind to each other.
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) {
        error_.clear();
        return true;
    }
    const char* why = ::dlerror();
    error_ = why ? why : "unknown error";
    return false;
}

void SharedLibrary::Unload()
{
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const
{
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

} // namespace tandrel
