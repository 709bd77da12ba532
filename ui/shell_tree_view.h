#pragma once
// A tree of the file system's folders, starting at one root folder shown as
// the single top node. Folders are read when a node is first expanded; the
// folders read so far are watched, so folders created, renamed or deleted
// while the tree is shown appear, change or disappear.
#include <QFileIconProvider>
#include <QFileSystemWatcher>
#include <QTreeWidget>
#include <memory>

#include "ui/shell_options.h"

class QMenu;
class QStyle;

class TpxShellTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TpxShellTreeView(QWidget* parent = nullptr);
    ~TpxShellTreeView() override;

    // Each setter rebuilds the tree when the value changes.
    const TpxDlgShellOptions& ShellOptions() const { return options_; }
    void SetShellOptions(const TpxDlgShellOptions& options);
    const TpxDlgShellRoot& ShellRoot() const { return root_; }
    void SetShellRoot(const TpxDlgShellRoot& root);
    bool ShowButtons() const { return showButtons_; }
    void SetShowButtons(bool show);
    bool ShowLines() const { return showLines_; }
    void SetShowLines(bool show);
    bool ShowRoot() const { return showRoot_; }
    void SetShowRoot(bool show);
    bool ShowInfoTips() const { return showInfoTips_; }
    void SetShowInfoTips(bool show) { showInfoTips_ = show; }

    // The root folder's path ("/" for the whole file system).
    QString RootPath() const { return rootPath_; }
    QTreeWidgetItem* RootItem() const { return rootItem_; }

    // Selects the folder named by `path`, expanding the tree down to it. An
    // empty text selects the root; a text without a leading "/" is taken
    // relative to the root; a trailing "/" is ignored. Hidden folders are
    // found although they are not listed. Returns false, leaving the
    // selection as it was, when the text names no folder inside the root.
    bool SetPath(const QString& path);
    // The selected folder's path, without a trailing separator except for
    // "/"; empty when nothing is selected.
    QString Path() const;

    // The item of a folder read so far, or nullptr.
    QTreeWidgetItem* FindItem(const QString& path) const;
    static QString ItemPath(const QTreeWidgetItem& item);
    // Reads the children of `item` if that has not happened yet.
    void Populate(QTreeWidgetItem& item);
    // Reads a loaded folder again and merges the differences into the tree.
    void Refresh(QTreeWidgetItem& item);

    // Whether the item's icon and name fit into the visible width; when they
    // do not, hovering shows the name as a tool tip.
    bool NameFits(const QTreeWidgetItem& item) const;

    // The menu a right click opens for `item`.
    std::unique_ptr<QMenu> CreateContextMenu(QTreeWidgetItem& item);
    // Menu actions, also usable directly.
    void CopyPath(const QTreeWidgetItem& item) const;
    void OpenInFileManager(const QTreeWidgetItem& item) const;
    // Creates "New Folder" (or "New Folder (2)", ...) in `parent`, selects it
    // and starts editing its name. Returns the new item, or nullptr.
    QTreeWidgetItem* CreateFolder(QTreeWidgetItem& parent);
    void StartRename(QTreeWidgetItem& item);
    // Renames the item's folder on disk and in the tree; false, with nothing
    // changed, for an invalid or taken name or when the file system refuses.
    bool RenameFolder(QTreeWidgetItem& item, const QString& newName);

signals:
    // The selected folder changed.
    void Change();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void Rebuild();
    QTreeWidgetItem* MakeItem(const QFileInfo& info, bool pinned);
    void ListInto(QTreeWidgetItem& item);
    void Merge(QTreeWidgetItem& item);
    QTreeWidgetItem* FindChild(const QTreeWidgetItem& parent, const QString& name) const;
    bool HasChildren(const QString& path) const;
    void SetItemPath(QTreeWidgetItem& item, const QString& path);
    void Unwatch(QTreeWidgetItem& item);
    void DirectoryChanged(const QString& path);
    void ApplyBranchStyle();

    TpxDlgShellOptions options_;
    TpxDlgShellRoot root_;
    bool showButtons_ = true;
    bool showLines_ = true;
    bool showRoot_ = true;
    bool showInfoTips_ = false;
    QString rootPath_ = QStringLiteral("/");
    QTreeWidgetItem* rootItem_ = nullptr;
    QFileIconProvider icons_;
    QFileSystemWatcher watcher_;
    std::unique_ptr<QStyle> branchStyle_;
    QTreeWidgetItem* renaming_ = nullptr;
};
