#pragma once
// What the folder tree lists and where it starts.
#include <QString>
#include <string>

struct TpxDlgShellOptions {
    bool ShowFolders = true;
    bool ShowNonFolders = false;
    bool ShowHidden = false;
    bool ShowToolTip = true;  // the full name of an item that does not fit
    bool ContextMenus = true;
    bool TrackShellChanges = true;

    friend bool operator==(const TpxDlgShellOptions&, const TpxDlgShellOptions&) = default;
};

// The tree's top folder. On this platform the file system's root stands in
// for the Desktop and the computer; the personal folder is the home folder.
enum class TpxBrowseFolder { bfDesktop, bfMyComputer, bfPersonal, bfCustomPath };

struct TpxDlgShellRoot {
    TpxBrowseFolder BrowseFolder = TpxBrowseFolder::bfDesktop;
    std::string CustomPath;  // used only with bfCustomPath

    friend bool operator==(const TpxDlgShellRoot&, const TpxDlgShellRoot&) = default;
};

// The folder `root` names, as an absolute path without a trailing separator
// (except the root "/"). A custom path that is not an existing folder falls
// back to "/".
QString ResolveShellRoot(const TpxDlgShellRoot& root);
