#include <algorithm>
#include <cstring>
#include <iostream>

#include "cli/arguments.h"
#include "cli/command_support.h"
#include "cli/edit_commands.h"
#include "cli/json_writer.h"
#include "cli/relay_sinks.h"
#include "library/library_moves.h"
#include "library/new_edits.h"
#include "library/view_editor.h"
#include "recording/recording_recovery.h"
#include "settings/path_checks.h"
#include "settings/storage.h"

namespace tandrel::cli {

namespace {

struct ListedEdit
{
    std::string title;
    EditInfo info;
};

std::vector<ListedEdit> ListAccount(const Account& account, bool& ok)
{
    std::vector<ListedEdit> edits;
    EditMap* map = GetEditMap(account.location, account.name);
    ok = map != nullptr;
    if (!map) return edits;
    ListedEdit edit;
    for (bool more = MapFirst(map, edit.info, edit.title); more; more = MapNext(map, edit.info, edit.title))
        edits.push_back(edit);
    ReleaseEditMap(map);
    std::sort(edits.begin(), edits.end(),
              [](const ListedEdit& a, const ListedEdit& b) { return a.title < b.title; });
    return edits;
}

void PrintList(const std::vector<ListedEdit>& edits, bool json)
{
    if (json) {
        JsonWriter out(2);
        out.BeginArray();
        for (const ListedEdit& e : edits) {
            out.BeginObject();
            out.Key("title").String(e.title);
            out.Key("created").Uint(e.info.created);
            out.Key("modified").Uint(e.info.modified);
            out.Key("length0").Uint(e.info.length0);
            out.Key("length1").Uint(e.info.length1);
            out.Key("length2").Uint(e.info.length2);
            out.Key("fileSize").Uint(e.info.fileSize);
            out.Key("sampleRate").Uint(e.info.sampleRate);
            out.Key("bitsPerSample").Uint(e.info.bitsPerSample);
            out.Key("channels").Uint(e.info.channels);
            out.EndObject();
        }
        out.EndArray();
        std::cout << out.Text() << '\n';
        return;
    }
    for (const ListedEdit& e : edits) {
        char length[32];
        std::snprintf(length, sizeof length, "%u:%02u.%02u", e.info.length0 / 6000,
                      e.info.length0 / 100 % 60, e.info.length0 % 100);
        std::cout << e.title << '\t' << length << '\t' << FormatMegabytes(e.info.fileSize) << '\t'
                  << e.info.sampleRate << '-' << e.info.bitsPerSample << '-' << e.info.channels
                  << "ch\n";
    }
}

} // namespace

int LibraryCommand(const std::vector<std::string>& words)
{
    const std::string command = "library";
    const ParsedArguments parsed =
        ParseArguments(words, {"--storage", "--from", "--to"}, {"--json"});
    if (!parsed.error.empty()) return UsageError(command, parsed.error);
    if (parsed.positional.empty()) return UsageError(command, "no library command given");
    const std::string& action = parsed.positional[0];
    const std::vector<std::string> names(parsed.positional.begin() + 1, parsed.positional.end());
    const struct { const char* name; size_t count; } kActions[] = {
        {"list", 0}, {"rebuild", 0}, {"new", 1}, {"rename", 2}, {"copy", 1},
        {"delete", 1}, {"restore", 0}, {"extract", 2}};
    const auto known = std::find_if(std::begin(kActions), std::end(kActions),
                                    [&](const auto& a) { return action == a.name; });
    if (known == std::end(kActions)) return UsageError(command, "unknown library command \"" + action + "\"");
    if (names.size() != known->count)
        return UsageError(command, action + " takes " + std::to_string(known->count) +
                                       (known->count == 1 ? " title" : " titles"));

    auto storage = parsed.values.find("--storage");
    if (!PrepareStorage(command, storage == parsed.values.end() ? std::string() : storage->second))
        return kExitFailed;
    Account account;
    if (!ActiveAccount(account)) {
        std::cerr << command << ": the storage folder is not known\n";
        return kExitFailed;
    }
    CreateFolderPath(account.Folder());

    CountingSink messages;
    ViewEditor editor;
    bool ok = false;
    if (action == "list") {
        std::vector<ListedEdit> edits = ListAccount(account, ok);
        if (ok) PrintList(edits, parsed.switches.contains("--json"));
    } else if (action == "rebuild") {
        ok = RebuildDatabaseFiles(account.location);
    } else if (action == "new") {
        RecoverLeftoverTempEdit(); // a recording waiting in the temporary Edit is saved first
        messages.AnswerNextPrompt(names[0]);
        ok = NewEmptyEdit(editor, account);
    } else if (action == "rename") {
        ok = LoadEdit(editor, account, names[0], false);
        if (ok) ok = RenameFile(editor, account, names[1]) == RenameResult::Renamed;
    } else if (action == "copy") {
        ok = CopySelectedFiles(account, {names[0]});
    } else if (action == "delete") {
        ok = LoadEdit(editor, account, names[0], false) && DeleteActiveFile(editor, account);
    } else if (action == "restore") {
        ok = RestoreDeletedFile(editor, account);
        if (!ok && messages.Count() == 0) std::cerr << command << ": no deleted Edit to restore\n";
    } else if (action == "extract") {
        ok = LoadEdit(editor, account, names[0], false);
        std::optional<uint64_t> from = OptionalPosition(command, parsed, "--from", 0);
        std::optional<uint64_t> to = OptionalPosition(command, parsed, "--to", editor.view.length);
        if (ok && from && to && *from < *to && *to <= editor.view.length) {
            editor.view.leftMark = *from / editor.view.blockAlign * editor.view.blockAlign;
            editor.view.rightMark = *to / editor.view.blockAlign * editor.view.blockAlign;
            RecoverLeftoverTempEdit();
            messages.AnswerNextPrompt(names[1]);
            ok = NewEdit(editor.view, account, true);
        } else if (ok) {
            std::cerr << command << ": the range must lie within the Edit (0 to "
                      << editor.view.length << " bytes)\n";
            ok = false;
        }
    }
    editor.CloseEditor();
    if (!ok && messages.Count() == 0 && action != "restore")
        std::cerr << command << ": " << action << " did not succeed\n";
    return ok ? kExitOk : kExitFailed;
}

} // namespace tandrel::cli
