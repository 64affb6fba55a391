#pragma once

// The commands that open what is not part of the program itself: the two
// documents that ship beside the executable and the maker's pages on the
// web. Each hands its target to the shell and forgets it; none reports
// anything, and any failure inside one is swallowed.

namespace vq::ui {

// The maker's pages.
inline constexpr wchar_t kHomepageAddress[] = L"https://www.quarvel.example/";
inline constexpr wchar_t kFacebookPageAddress[] = L"https://www.quarvel.example/follow/facebook";
inline constexpr wchar_t kTwitterPageAddress[] = L"https://www.quarvel.example/follow/twitter";

// The documents, in the executable's folder. The main menu and the About
// window spell the licence's name differently; the file system compares
// names without regard to case, so both reach the one file.
inline constexpr wchar_t kChangelogFileName[] = L"Changelog.txt";
inline constexpr wchar_t kMenuLicenceFileName[] = L"EULA.txt";
inline constexpr wchar_t kAboutLicenceFileName[] = L"Eula.txt";

// Main menu: owned by the main window, shown with SW_SHOWNORMAL. A document
// that does not exist as a file (a folder of that name does not count) is
// silently not opened.
void OpenChangelog(void* mainWindow) noexcept;
void OpenEula(void* mainWindow) noexcept;
void OpenHomepage(void* mainWindow) noexcept;

// The About window's links: no owner window, shown with SW_SHOW.
void OpenHomepageLink() noexcept;
void OpenEulaLink() noexcept;
void OpenFacebookLink() noexcept;
void OpenTwitterLink() noexcept;

} // namespace vq::ui
