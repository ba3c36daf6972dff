// A keyboard hook for the loading rules, built three times: with both entry points, with
// only the first, and with neither. Each call is appended as a line to the file that
// TANDREL_TEST_HOOK_LOG names.
#include <cstdio>
#include <cstdlib>

namespace {

[[maybe_unused]] void Log(const char* call)
{
    const char* path = std::getenv("TANDREL_TEST_HOOK_LOG");
    if (!path) return;
    if (std::FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s\n", call);
        std::fclose(file);
    }
}

} // namespace

#ifdef HOOK_HAS_INSTALL
extern "C" void InstallKBHook()
{
    Log("install");
}
#endif

#ifdef HOOK_HAS_UNINSTALL
extern "C" void UninstallKBHook()
{
    Log("uninstall");
}
#endif

// Something to export when neither entry point is built in.
extern "C" int StandInHookVersion()
{
    return 1;
}
