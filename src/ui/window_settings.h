#pragma once

// The main window's settings that survive a restart: its outer size, its
// state and the widths of its list's columns, kept as REG_DWORD values under
// one key of the current user's hive. Nothing is cached: every save reads the
// live window and writes straight to the registry, every load reads the
// registry and sets the live window, and each operation opens the key itself
// and has closed it again when it returns, on every path.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vq::ui {

// The key, from the root of HKEY_CURRENT_USER.
inline constexpr wchar_t kSettingsKey[] = L"\\Software\\Quarvel\\Velquist";
inline constexpr wchar_t kWidthValue[] = L"Width";
inline constexpr wchar_t kHeightValue[] = L"Height";
inline constexpr wchar_t kStateValue[] = L"State";
// The View menu's options, each 1 on and 0 off: "Show IPv6 Endpoints",
// "Filter Bar", "Show Unconnected Endpoints" and "Show Waiting Connections".
inline constexpr wchar_t kShowIPv6Value[] = L"ShowIPv6";
inline constexpr wchar_t kFilterBarValue[] = L"FilterBar";
inline constexpr wchar_t kShowUnconnectedValue[] = L"ShowUnconnected";
inline constexpr wchar_t kShowWaitingValue[] = L"ShowWaiting";
inline constexpr wchar_t kHighlightChangesValue[] = L"HighlightChanges";
// The optional columns of the View menu's "Columns", each 1 shown.
inline constexpr wchar_t kShowServiceColumnValue[] = L"ShowServiceColumn";
inline constexpr wchar_t kShowCreatedColumnValue[] = L"ShowCreatedColumn";
// The View menu's "Refresh Interval", in milliseconds.
inline constexpr wchar_t kRefreshIntervalValue[] = L"RefreshInterval";

// The value of a column's width by its number (list_columns.h): for the
// built-in columns "ListView_Column_" and the number in decimal, for the
// optional ones "ListView_Column_Service" and "ListView_Column_Created", so
// that a stored width keeps its meaning whichever columns are shown.
std::wstring ColumnValueName(std::size_t column);

// The window state as stored: 0 normal, 1 minimised, 2 maximised.
enum class WindowState : int { Normal = 0, Minimized = 1, Maximized = 2 };

// What the settings read and apply: the main window and its list.
class SettingsWindow {
public:
    // The outer size in pixels, frame included: the maximised size while
    // maximised, and the size the window restores to while minimised (not
    // the size of its minimised caption, which would come back as a normal
    // size at the next start).
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual WindowState State() const = 0;

    // Each of these changes the window's size or state; the window's resize
    // event then saves the placement (SaveWindowPlacement) before the call
    // returns. A size set while minimised is the size the window restores to.
    virtual void SetState(WindowState state) = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;

    // The list's columns by their numbers: the built-in ones, then the
    // optional ones, shown or not. An optional column's width is kept while
    // it is shown and once it has had one (shown or loaded) this run; a
    // width not kept is not saved.
    virtual std::size_t ColumnCount() const = 0;
    virtual bool KeepsColumnWidth(std::size_t) const { return true; }
    virtual int ColumnWidth(std::size_t column) const = 0;
    virtual void SetColumnWidth(std::size_t column, int width) = 0;

    // The virtual screen (every monitor together), the yardstick of a usable
    // stored size; 0 when unknown.
    virtual int VirtualScreenWidth() const = 0;
    virtual int VirtualScreenHeight() const = 0;

protected:
    ~SettingsWindow() = default;
};

// A stored width, height or column width is applied only when it is above 0
// and at most this many times the virtual screen's extent in its direction;
// any other value is ignored, so that no stored value can make the window or
// a column unusable. A stored state other than 0, 1 or 2 is ignored too.
inline constexpr int kMaxScreensPerStoredSize = 16;

// The operations below fail with util::AppError, which the caller's error
// report shows:
//   "Failed to get data for '<name>'"  a stored value longer than 4 bytes
//                                      (most texts, a 64-bit number), or
//                                      unreadable;
//   "Invalid data type for '<name>'"   a stored value of at most 4 bytes that
//                                      is not a 4-byte REG_DWORD;
//   "Failed to set data for '<name>'"  a write the registry refused.
// A key that cannot be opened or created makes an operation do nothing,
// silently.

// Writes "Width", "Height" and "State" from the window as it is now, creating
// the key when it is missing. A refused write stops the save at that value.
void SaveWindowPlacement(const SettingsWindow& window);

// Reads the stored state and, unless that state is maximised, the stored
// width and height; only then applies them: the state first, then (unless
// the window is now maximised) the width and the height. Every value is read
// before any is applied, because each size change makes the window save its
// placement, which would otherwise overwrite a value not yet read. A missing
// key or value leaves the window as it is; a failed read applies nothing.
void LoadWindowPlacement(SettingsWindow& window);

// Writes the width of every column whose width is kept, creating the key
// when it is missing. A refused write stops the save at that column.
void SaveColumnWidths(const SettingsWindow& window);

// Sets every column that has a stored width, walking the list's columns from
// 0 upward. Opens the key for all access and so creates it when it is
// missing: the first start leaves an empty key behind. A failed read stops
// the walk there; the columns before it keep the widths already set.
void LoadColumnWidths(SettingsWindow& window);

// A View option as stored: whether the value says on. An option that is
// off unless turned on (onByDefault false) is on only for a stored 1; one
// that is on unless turned off is off only for a stored 0. A missing key or
// value gives the default.
bool LoadViewOption(const wchar_t* name, bool onByDefault);

// Writes a View option as 1 or 0, creating the key when it is missing.
void SaveViewOption(const wchar_t* name, bool on);

// A View setting's number as stored; none when the key or value is missing.
// A value of another type or size fails with util::AppError.
std::optional<std::int32_t> LoadViewNumber(const wchar_t* name);
void SaveViewNumber(const wchar_t* name, std::int32_t value);

// The window's close handler: saves the column widths. A save that fails is
// shown in the error report (owned by owner) and never stops the close, so a
// registry that refuses writes cannot keep the program open; the window
// closes once this returns.
void SaveSettingsOnClose(const SettingsWindow& window, void* owner) noexcept;

} // namespace vq::ui
