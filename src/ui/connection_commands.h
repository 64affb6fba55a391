#pragma once

// The context-menu commands that act on the machine through the rows of the
// connection list: closing TCP connections, ending a process, and copying rows
// or a remote address to the clipboard. None of them asks, reports or changes
// a row; a step that fails is skipped silently. The main window passes in what
// each needs: the list, the bound IP Helper entry points, its refresh, and
// itself as the clipboard's owner.

#include "connections/connection_list.h"
#include "platform/iphelper.h"

#include <cstddef>
#include <functional>
#include <string>

namespace vq::ui {

// Chooses the main window's "Refresh Now" command.
using RefreshList = std::function<void()>;

// The close commands visit the rows in list order and close the connection of
// each TCP row they act on (protocol exactly "TCP") with CloseTcpConnections,
// which reads the table once for the whole command. After the scan, when at least
// one close succeeded, they refresh the list once. Each answers how many
// connections it closed.

// "Close Selected Connection(s)": every selected TCP row.
std::size_t CloseSelectedConnections(const connections::ConnectionList& list,
                                     const platform::IpHelperEntryPoints& ipHelper,
                                     const RefreshList& refresh);

// "Close ALL Connections for Selected Process": every TCP row, selected or not,
// whose process file name (caption) and folder equal those of the selected
// row (the first selected row, which may itself be a UDP row). Every process
// started from that file qualifies, whatever its id. A selected row without a
// file name stands for a process whose image is not known; then only the TCP
// rows of that same process id qualify, so that the connections of other
// unknown processes stay open.
std::size_t CloseProcessConnections(const connections::ConnectionList& list,
                                    const platform::IpHelperEntryPoints& ipHelper,
                                    const RefreshList& refresh);

// "Close ALL Connections": every TCP row of the list; no selection needed.
std::size_t CloseAllConnections(const connections::ConnectionList& list,
                                const platform::IpHelperEntryPoints& ipHelper,
                                const RefreshList& refresh);

// "Terminate Process": ends the process of the selected row (the first
// selected row only) with exit code 0: opens it by the process id the row
// holds, for termination and for reading its start time, asks the system to
// end it, closes the handle. The list is not refreshed. A row whose process's
// start time was not read with its path ends nothing, as does a process that
// cannot be opened, whose start time cannot be read, or that did not start
// exactly then (the id now belongs to another process).
void TerminateSelectedProcess(const connections::ConnectionList& list);

// The text of "Copy Selected Item(s) to Clipboard": one line per selected row,
// in list order, each ending in CR LF. A line is the caption and the eight
// sub-items joined by " | ". A separator's blank at the very start of the text
// (the first row has no caption) and at the end of a line (the row has no
// folder) is dropped; the fields themselves are copied unchanged. Empty when
// nothing is selected.
std::wstring SelectedRowsText(const connections::ConnectionList& list);

// "Copy Selected Item(s) to Clipboard" (Ctrl+C): puts SelectedRowsText on the
// clipboard in one operation. Nothing selected: the clipboard is not touched.
// A clipboard that another program holds, or that refuses the text, is left
// as it is, without a message.
void CopySelectedRows(const connections::ConnectionList& list, void* owner);

// "Copy Remote IP to Clipboard": puts the selected row's remote address text,
// alone and without a line break, on the clipboard. Failures as above.
void CopyRemoteAddress(const connections::ConnectionList& list, void* owner);

} // namespace vq::ui
