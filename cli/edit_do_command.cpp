#include <iostream>
#include <map>

#include "cli/arguments.h"
#include "cli/command_support.h"
#include "cli/edit_commands.h"
#include "cli/relay_sinks.h"
#include "editing/edit_commands.h"
#include "editing/markers.h"
#include "editing/selection.h"

namespace tandrel::cli {

namespace {

// How many words follow each editor command.
const std::map<std::string, int> kCommandWords = {
    {"cursor", 1},       {"select", 2},     {"mark-left", 0},     {"mark-right", 0},
    {"select-all", 0},   {"deselect", 0},   {"cut", 0},           {"copy", 0},
    {"paste", 0},        {"delete", 0},     {"undo", 0},          {"redo", 0},
    {"marker", 1},       {"rename-marker", 2}, {"delete-marker", 1}, {"markers", 0},
    {"open", 1},
};

std::optional<uint64_t> Number(const std::string& command, const std::string& text)
{
    std::optional<uint64_t> value = ParseUnsigned(text, 0, UINT64_MAX);
    if (!value) std::cerr << "edit do: " << command << " takes a number, not \"" << text << "\"\n";
    return value;
}

} // namespace

int EditDoCommand(const std::vector<std::string>& words)
{
    if (words.empty()) return UsageError("edit do", "no file named");
    // Check the whole command list before touching the Edit.
    for (size_t i = 1; i < words.size();) {
        auto found = kCommandWords.find(words[i]);
        if (found == kCommandWords.end())
            return UsageError("edit do", "unknown editor command \"" + words[i] + "\"");
        if (i + size_t(found->second) >= words.size() && found->second > 0)
            return UsageError("edit do", words[i] + " needs " + std::to_string(found->second) +
                                             (found->second == 1 ? " value" : " values"));
        i += 1 + size_t(found->second);
    }

    EditView view(2);
    Editor editor{&view, nullptr};
    CountingSink messages;
    if (!view.OpenView(words[0], false)) {
        if (messages.Count() == 0) std::cerr << "edit do: cannot open " << words[0] << "\n";
        return kExitFailed;
    }

    bool ok = true;
    for (size_t i = 1; i < words.size() && ok;) {
        const std::string& command = words[i];
        const int count = kCommandWords.at(command);
        const std::vector<std::string> args(words.begin() + std::ptrdiff_t(i + 1),
                                            words.begin() + std::ptrdiff_t(i + 1 + size_t(count)));
        i += 1 + size_t(count);
        if (command == "cursor") {
            std::optional<uint64_t> at = Number(command, args[0]);
            ok = at && (PlaceCueLine(view, *at), true);
        } else if (command == "select") {
            std::optional<uint64_t> left = Number(command, args[0]), right = Number(command, args[1]);
            ok = left && right;
            if (ok) SetMarks(view, *left, *right);
        } else if (command == "mark-left") {
            SetLeftMark(view, view.cursor);
        } else if (command == "mark-right") {
            SetRightMark(view, view.cursor);
        } else if (command == "select-all") {
            SelectAllCommand(editor);
        } else if (command == "deselect") {
            ClearSelectionCommand(editor);
        } else if (command == "cut") {
            CutCommand(editor);
        } else if (command == "copy") {
            CopyCommand(editor);
        } else if (command == "paste") {
            PasteCommand(editor);
        } else if (command == "delete") {
            DeleteCommand(editor);
        } else if (command == "undo") {
            UndoCommand(editor);
        } else if (command == "redo") {
            RedoCommand(editor);
        } else if (command == "marker") {
            messages.AnswerNextPrompt(args[0]);
            ok = InsertMarker(editor) >= 0;
        } else if (command == "rename-marker") {
            std::optional<uint64_t> index = Number(command, args[0]);
            messages.AnswerNextPrompt(args[1]);
            ok = index && RenameMarker(editor, size_t(*index));
        } else if (command == "delete-marker") {
            std::optional<uint64_t> index = Number(command, args[0]);
            ok = index && DeleteMarker(editor, size_t(*index));
        } else if (command == "markers") {
            std::cout << MarkerRowsText(MarkerRows(editor)) << std::flush;
        } else if (command == "open") {
            // Closing keeps the cue line and marks in the Edit, as switching Edits does.
            view.CloseView();
            if (!view.OpenView(args[0], false)) {
                if (messages.Count() == 0) std::cerr << "edit do: cannot open " << args[0] << "\n";
                return kExitFailed;
            }
        }
        if (!ok) std::cerr << "edit do: " << command << " did not run\n";
    }
    view.CloseView();
    return ok && messages.Count() == 0 ? kExitOk : kExitFailed;
}

} // namespace tandrel::cli
