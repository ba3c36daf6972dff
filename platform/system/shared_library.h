#pragma once
#include <string>

namespace tandrel {

/** A shared object loaded at run time (plug-ins in KD_Xtras), unloaded when this goes.
    Any thread, but one owner. */
class SharedLibrary
{
public:
    SharedLibrary() = default;
    ~SharedLibrary() { Unload(); }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    /** Loads `path`, resolving every symbol now. False when it cannot be loaded (missing,
        not a shared object, unresolved symbols); Error() then says why. */
    bool Load(const std::string& path);
    /** Unloads; safe when nothing is loaded. */
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }

    /** The address of the exported `name`, or null when it is not exported. */
    void* Symbol(const char* name) const;
    /** The loader's text for the last failed Load. */
    const std::string& Error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace tandrel
