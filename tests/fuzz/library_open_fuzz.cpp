// Opens arbitrary bytes as an Edit of the Library, for editing, the way Open from Library
// does. An open that fails must leave every byte of the file as it was and nothing beside
// it; an open that succeeds must save a file that opens again.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "library/library_moves.h"
#include "library/view_editor.h"
#include "silent_sink.h"

namespace {

namespace fs = std::filesystem;

tandrel::SilentSink silentSink;
tandrel::Account account;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "library_open_fuzz: %s\n", what);
    std::abort();
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t FilesInAccount()
{
    return size_t(std::distance(fs::directory_iterator(account.Folder()), fs::directory_iterator()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tandrel::InstallInteractionSink(&silentSink);
    const char* folder = std::getenv("TMPDIR");
    std::string root = std::string(folder && *folder ? folder : "/tmp") + "/tandrel-library-fuzz-XXXXXX";
    if (!mkdtemp(root.data())) Fail("cannot create a temporary folder");
    std::atexit([] { fs::remove_all(account.location.root); });
    account.location = {root, "KDUser"};
    account.name = "Default";
    fs::create_directories(account.Folder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = account.EditPath("Show");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
        if (!out) Fail("cannot write the Edit");
    }
    {
        tandrel::ViewEditor editor;
        if (!tandrel::LoadEdit(editor, account, "Show", false)) {
            if (ReadFile(path) != std::vector<uint8_t>(data, data + size))
                Fail("a failed open changed the file");
            if (FilesInAccount() != 1) Fail("a failed open left a file beside the Edit");
        } else {
            editor.CloseEditor();
            tandrel::EditFile again;
            if (!again.EditOpen(path, false, true)) Fail("a saved Edit does not open again");
        }
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(account.Folder()))
        fs::remove(entry.path());
    return 0;
}
