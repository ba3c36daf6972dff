#include "edit/process_hooks.h"

#include <utility>

namespace tandrel {

namespace {
ProcessHooks* installedHooks = nullptr;
}

ProcessHooks* InstallProcessHooks(ProcessHooks* hooks)
{
    std::swap(installedHooks, hooks);
    return hooks;
}

ProcessHooks* InstalledProcessHooks() { return installedHooks; }

} // namespace tandrel
