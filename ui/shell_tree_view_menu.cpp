// The right-click menu of the folder tree and the folder actions behind it.
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QUrl>

#include "ui/shell_tree_view.h"

namespace {
constexpr int NameRole = Qt::UserRole + 1;
}

std::unique_ptr<QMenu> TpxShellTreeView::CreateContextMenu(QTreeWidgetItem& item) {
    auto menu = std::make_unique<QMenu>(this);
    // Actions look the item up again when chosen: the folder may have been
    // removed from the tree while the menu was open.
    const QString path = ItemPath(item);
    const auto withItem = [this, path](auto action) {
        return [this, path, action] {
            if (QTreeWidgetItem* found = FindItem(path)) action(*found);
        };
    };
    if (item.childCount() > 0 || item.childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator) {
        if (item.isExpanded())
            menu->addAction(tr("Collapse"), this, withItem([](QTreeWidgetItem& it) { it.setExpanded(false); }));
        else
            menu->addAction(tr("Expand"), this, withItem([](QTreeWidgetItem& it) { it.setExpanded(true); }));
    }
    menu->addAction(tr("Open in File Manager"), this, withItem([this](QTreeWidgetItem& it) { OpenInFileManager(it); }));
    menu->addAction(tr("Copy Path"), this, withItem([this](QTreeWidgetItem& it) { CopyPath(it); }));
    menu->addSeparator();
    const QFileInfo info(path);
    QAction* create =
        menu->addAction(tr("New Folder"), this, withItem([this](QTreeWidgetItem& it) { CreateFolder(it); }));
    create->setEnabled(info.isDir() && info.isWritable());
    QAction* rename = menu->addAction(tr("Rename"), this, withItem([this](QTreeWidgetItem& it) { StartRename(it); }));
    rename->setEnabled(&item != RootItem() && item.parent() != nullptr &&
                       QFileInfo(ItemPath(*item.parent())).isWritable());
    return menu;
}

void TpxShellTreeView::contextMenuEvent(QContextMenuEvent* event) {
    if (!ShellOptions().ContextMenus) {
        event->ignore();
        return;
    }
    QTreeWidgetItem* item = event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
    if (item == nullptr) return;
    const QPoint where = event->reason() == QContextMenuEvent::Mouse
                             ? event->globalPos()
                             : viewport()->mapToGlobal(visualItemRect(item).center());
    CreateContextMenu(*item)->exec(where);
}

void TpxShellTreeView::CopyPath(const QTreeWidgetItem& item) const {
    QGuiApplication::clipboard()->setText(ItemPath(item));
}

void TpxShellTreeView::OpenInFileManager(const QTreeWidgetItem& item) const {
    QDesktopServices::openUrl(QUrl::fromLocalFile(ItemPath(item)));
}

QTreeWidgetItem* TpxShellTreeView::CreateFolder(QTreeWidgetItem& parent) {
    Populate(parent);
    const QDir folder(ItemPath(parent));
    QString name = tr("New Folder");
    for (int n = 2; folder.exists(name); ++n) name = tr("New Folder (%1)").arg(n);
    if (!folder.mkdir(name)) return nullptr;
    Refresh(parent);
    QTreeWidgetItem* created = FindItem(folder.filePath(name));
    if (created == nullptr) return nullptr;
    parent.setExpanded(true);
    setCurrentItem(created);
    StartRename(*created);
    return created;
}

void TpxShellTreeView::StartRename(QTreeWidgetItem& item) {
    if (&item == RootItem()) return;
    renaming_ = &item;
    item.setFlags(item.flags() | Qt::ItemIsEditable);
    editItem(&item, 0);
}

bool TpxShellTreeView::RenameFolder(QTreeWidgetItem& item, const QString& name) {
    if (&item == RootItem()) return false;
    const QString newName = name.trimmed();
    const QString oldPath = ItemPath(item);
    const QString newPath = QFileInfo(oldPath).dir().filePath(newName);
    const bool valid = !newName.isEmpty() && !newName.contains(QLatin1Char('/')) && newName != QLatin1String(".") &&
                       newName != QLatin1String("..");
    if (!valid || newName == item.data(0, NameRole).toString() || QFileInfo::exists(newPath) ||
        !QDir().rename(oldPath, newPath))
        return false;
    SetItemPath(item, newPath);
    if (item.parent() != nullptr) item.parent()->sortChildren(0, Qt::AscendingOrder);
    scrollToItem(&item);
    if (&item == currentItem()) emit Change();
    return true;
}

void TpxShellTreeView::commitData(QWidget* editor) {
    QTreeWidgetItem* item = renaming_;
    if (item == nullptr) {
        QTreeWidget::commitData(editor);
        return;
    }
    // The edited name goes to the file system, not straight into the item:
    // the item shows the new name only once the folder has it.
    renaming_ = nullptr;
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    if (const auto* line = qobject_cast<QLineEdit*>(editor)) RenameFolder(*item, line->text());
}

void TpxShellTreeView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTreeWidget::closeEditor(editor, hint);
    // Editing ended without a change: the item is no longer editable.
    if (QTreeWidgetItem* item = renaming_) {
        renaming_ = nullptr;
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    }
}
