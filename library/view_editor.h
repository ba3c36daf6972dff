#pragma once
#include <string>

#include "edit/edit_view.h"
#include "library/editor_slot.h"

namespace tandrel {

/** The editor as one plain view opened for editing, with no players: the command-line
    tool's editor. UI thread. */
class ViewEditor : public EditorSlot
{
public:
    bool OpenInEditor(const std::string& path, int& error) override
    {
        view.CloseView();
        if (view.OpenView(path, false)) return true;
        error = view.edit.LastSystemError();
        return false;
    }
    void CloseEditor() override { view.CloseView(); }
    std::string ActivePath() const override { return view.edit.IsOpen() ? view.edit.path : std::string(); }

    EditView view{2};
};

} // namespace tandrel
