#pragma once

// Finding rows from the View menu: the Find dialog, "Find Next" repeating
// the last search, and a match becoming the one selected, focused and
// visible row.

#include "connections/connection_list.h"
#include "connections/row_search.h"
#include "ui/connection_list_view.h"
#include "ui/find_dialog.h"

#include <optional>

namespace vq::ui {

class RowFinder {
public:
    RowFinder(connections::ConnectionList& list, ConnectionListView& view) : list_(list), view_(view) {}

    // Opens the dialog over owner, or brings it forward when it is open.
    void Open(HWND owner);
    // Repeats the last search; before the first one it opens the dialog.
    void Repeat(HWND owner);

    // The dialog's own keys, for the message loop.
    bool PreTranslateMessage(MSG& message) { return dialog_.PreTranslateMessage(message); }
    // The message the dialog sends its owner, and the request it carries:
    // none when the dialog is closing.
    UINT Message() const noexcept { return dialog_.Message(); }
    std::optional<connections::FindRequest> ReadMessage(LPARAM lParam) { return dialog_.OnMessage(lParam); }

    // The next match after the focused row becomes the only selected,
    // focused and visible row; a miss is said in a box over the dialog when
    // it is open, over owner otherwise.
    void FindNext(HWND owner, const connections::FindRequest& request);

private:
    connections::ConnectionList& list_;
    ConnectionListView& view_;
    FindDialog dialog_;
};

} // namespace vq::ui
