// The folder tree: folders read when a node is first expanded and watched for
// changes, selection by path.
#include "ui/shell_tree_view.h"

#include <QDir>
#include <QDirIterator>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QToolTip>
#include <algorithm>
#include <vector>

namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int NameRole = Qt::UserRole + 1;
constexpr int LoadedRole = Qt::UserRole + 2;
// A folder that the filter leaves out but that was named by a path (a hidden
// folder): kept in the tree for as long as it exists.
constexpr int PinnedRole = Qt::UserRole + 3;

// Folders sort by name ignoring case, as the file managers show them.
class FolderItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const QString left = data(0, NameRole).toString();
        const QString right = other.data(0, NameRole).toString();
        const int folded = QString::compare(left, right, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : left < right;
    }
};

// Tree lines and plus/minus buttons in the classic look, which the desktop
// styles do not draw; everything else comes from the application's style.
class BranchStyle : public QProxyStyle {
public:
    BranchStyle(bool lines, bool buttons)
        : lines_(lines), buttons_(buttons), classic_(QStyleFactory::create(QStringLiteral("Windows"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorBranch || classic_ == nullptr) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QStyleOption branch(*option);
        if (!lines_) branch.state &= ~(State_Item | State_Sibling);
        if (!buttons_) branch.state &= ~State_Children;
        classic_->drawPrimitive(element, &branch, painter, widget);
    }

private:
    bool lines_;
    bool buttons_;
    std::unique_ptr<QStyle> classic_;
};

QString ChildPath(const QString& parent, const QString& name) {
    return parent.endsWith(QLatin1Char('/')) ? parent + name : parent + QLatin1Char('/') + name;
}

}  // namespace

TpxShellTreeView::TpxShellTreeView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setTextElideMode(Qt::ElideRight);
    setIndentation(19);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // The selection stays visible while the tree does not have the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);

    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Populate(*item); });
    connect(this, &QTreeWidget::currentItemChanged, this, [this] { emit Change(); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &TpxShellTreeView::DirectoryChanged);
    ApplyBranchStyle();
    Rebuild();
}

TpxShellTreeView::~TpxShellTreeView() {
    // The widget must not keep a style that is about to go.
    setStyle(nullptr);
}

void TpxShellTreeView::SetShellOptions(const TpxDlgShellOptions& options) {
    if (options_ == options) return;
    options_ = options;
    Rebuild();
}

void TpxShellTreeView::SetShellRoot(const TpxDlgShellRoot& root) {
    if (root_ == root) return;
    root_ = root;
    Rebuild();
}

void TpxShellTreeView::SetShowButtons(bool show) {
    if (showButtons_ == show) return;
    showButtons_ = show;
    ApplyBranchStyle();
}

void TpxShellTreeView::SetShowLines(bool show) {
    if (showLines_ == show) return;
    showLines_ = show;
    ApplyBranchStyle();
}

void TpxShellTreeView::SetShowRoot(bool show) {
    if (showRoot_ == show) return;
    showRoot_ = show;
    Rebuild();
}

void TpxShellTreeView::ApplyBranchStyle() {
    auto style = std::make_unique<BranchStyle>(showLines_, showButtons_);
    setStyle(style.get());
    branchStyle_ = std::move(style);
}

void TpxShellTreeView::Rebuild() {
    const QStringList watched = watcher_.directories();
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    setRootIndex(QModelIndex());
    renaming_ = nullptr;
    clear();
    rootPath_ = ResolveShellRoot(root_);
    rootItem_ = MakeItem(QFileInfo(rootPath_), false);
    if (rootPath_ == QLatin1String("/")) rootItem_->setText(0, rootPath_);
    addTopLevelItem(rootItem_);
    if (showRoot_) {
        rootItem_->setExpanded(true);
    } else {
        Populate(*rootItem_);
        setRootIndex(indexFromItem(rootItem_));
    }
    setCurrentItem(rootItem_);
}

QTreeWidgetItem* TpxShellTreeView::MakeItem(const QFileInfo& info, bool pinned) {
    auto item = std::make_unique<FolderItem>();
    const QString path = info.absoluteFilePath();
    item->setData(0, PathRole, path);
    item->setData(0, NameRole, info.fileName());
    item->setData(0, LoadedRole, false);
    item->setData(0, PinnedRole, pinned);
    item->setText(0, info.fileName());
    item->setIcon(0, icons_.icon(info));
    item->setChildIndicatorPolicy(info.isDir() && HasChildren(path) ? QTreeWidgetItem::ShowIndicator
                                                                    : QTreeWidgetItem::DontShowIndicator);
    return item.release();  // the caller hands it to the tree, which owns it
}

namespace {

QDir::Filters ListFilters(const TpxDlgShellOptions& options) {
    QDir::Filters filters = QDir::NoDotAndDotDot;
    if (options.ShowFolders) filters |= QDir::Dirs;
    if (options.ShowNonFolders) filters |= QDir::Files;
    if (options.ShowHidden) filters |= QDir::Hidden;
    return filters;
}

QFileInfoList ListFolder(const QString& path, const TpxDlgShellOptions& options) {
    return QDir(path).entryInfoList(ListFilters(options), QDir::Name | QDir::IgnoreCase);
}

}  // namespace

bool TpxShellTreeView::HasChildren(const QString& path) const {
    QDirIterator entries(path, ListFilters(options_));
    return entries.hasNext();
}

QString TpxShellTreeView::ItemPath(const QTreeWidgetItem& item) { return item.data(0, PathRole).toString(); }

void TpxShellTreeView::Populate(QTreeWidgetItem& item) {
    if (item.data(0, LoadedRole).toBool()) return;
    item.setData(0, LoadedRole, true);
    ListInto(item);
    if (options_.TrackShellChanges) watcher_.addPath(ItemPath(item));
}

void TpxShellTreeView::ListInto(QTreeWidgetItem& item) {
    QList<QTreeWidgetItem*> children;
    for (const QFileInfo& info : ListFolder(ItemPath(item), options_)) children.append(MakeItem(info, false));
    item.addChildren(children);
    item.sortChildren(0, Qt::AscendingOrder);
    item.setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* TpxShellTreeView::FindChild(const QTreeWidgetItem& parent, const QString& name) const {
    for (int i = 0; i < parent.childCount(); ++i) {
        QTreeWidgetItem* child = parent.child(i);
        if (child->data(0, NameRole).toString() == name) return child;
    }
    return nullptr;
}

QTreeWidgetItem* TpxShellTreeView::FindItem(const QString& path) const {
    if (rootItem_ == nullptr) return nullptr;
    if (path == rootPath_) return rootItem_;
    const QString prefix = rootPath_ == QLatin1String("/") ? rootPath_ : rootPath_ + QLatin1Char('/');
    if (!path.startsWith(prefix)) return nullptr;
    QTreeWidgetItem* item = rootItem_;
    for (const QString& name : path.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        item = FindChild(*item, name);
        if (item == nullptr) return nullptr;
    }
    return item;
}

bool TpxShellTreeView::SetPath(const QString& text) {
    if (text.isEmpty()) {
        setCurrentItem(rootItem_);
        return true;
    }
    QString path = text;
    if (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    if (!path.startsWith(QLatin1Char('/'))) path = ChildPath(rootPath_, path);
    path = QDir::cleanPath(path);
    const bool inside =
        rootPath_ == QLatin1String("/") || path == rootPath_ || path.startsWith(rootPath_ + QLatin1Char('/'));
    const QFileInfo target(path);
    if (!inside || !(target.isDir() || (options_.ShowNonFolders && target.exists()))) return false;

    QTreeWidgetItem* item = rootItem_;
    const QString relative = path.mid(rootPath_.size());
    for (const QString& name : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        Populate(*item);
        QTreeWidgetItem* child = FindChild(*item, name);
        if (child == nullptr) {
            // Left out by the filter (hidden): shown because it was asked for.
            child = MakeItem(QFileInfo(ChildPath(ItemPath(*item), name)), true);
            item->addChild(child);
            item->sortChildren(0, Qt::AscendingOrder);
        }
        item->setExpanded(true);
        item = child;
    }
    setCurrentItem(item);
    scrollToItem(item);
    return true;
}

QString TpxShellTreeView::Path() const {
    const QTreeWidgetItem* item = currentItem();
    return item == nullptr ? QString() : ItemPath(*item);
}

void TpxShellTreeView::Refresh(QTreeWidgetItem& item) {
    if (!item.data(0, LoadedRole).toBool()) return;
    Merge(item);
}

void TpxShellTreeView::Merge(QTreeWidgetItem& item) {
    const QString folder = ItemPath(item);
    std::vector<QFileInfo> added;
    QStringList present;
    for (const QFileInfo& info : ListFolder(folder, options_)) {
        present.append(info.fileName());
        if (FindChild(item, info.fileName()) == nullptr) added.push_back(info);
    }
    std::vector<QTreeWidgetItem*> gone;
    for (int i = 0; i < item.childCount(); ++i) {
        QTreeWidgetItem* child = item.child(i);
        const QString name = child->data(0, NameRole).toString();
        if (present.contains(name)) continue;
        if (child->data(0, PinnedRole).toBool() && QFileInfo(ItemPath(*child)).isDir()) continue;
        gone.push_back(child);
    }
    if (gone.size() == 1 && added.size() == 1) {
        // One name went and one came: a rename. The item keeps its place,
        // its selection and its expanded children.
        QTreeWidgetItem& renamed = *gone.front();
        SetItemPath(renamed, added.front().absoluteFilePath());
        // Two unrelated changes can look like a rename; reading the folder
        // again keeps its children true to the disk either way.
        if (renamed.data(0, LoadedRole).toBool()) Merge(renamed);
    } else {
        for (QTreeWidgetItem* child : gone) {
            Unwatch(*child);
            for (const QTreeWidgetItem* at = renaming_; at != nullptr; at = at->parent())
                if (at == child) renaming_ = nullptr;
            std::unique_ptr<QTreeWidgetItem> removed(item.takeChild(item.indexOfChild(child)));
        }
        QList<QTreeWidgetItem*> children;
        for (const QFileInfo& info : added) children.append(MakeItem(info, false));
        item.addChildren(children);
    }
    item.sortChildren(0, Qt::AscendingOrder);
}

void TpxShellTreeView::SetItemPath(QTreeWidgetItem& item, const QString& path) {
    const QString old = ItemPath(item);
    const bool watched = watcher_.directories().contains(old);
    if (watched) watcher_.removePath(old);
    const QFileInfo info(path);
    item.setData(0, PathRole, path);
    item.setData(0, NameRole, info.fileName());
    item.setText(0, info.fileName());
    if (watched) watcher_.addPath(path);
    for (int i = 0; i < item.childCount(); ++i) {
        QTreeWidgetItem& child = *item.child(i);
        SetItemPath(child, ChildPath(path, child.data(0, NameRole).toString()));
    }
}

void TpxShellTreeView::Unwatch(QTreeWidgetItem& item) {
    if (item.data(0, LoadedRole).toBool()) watcher_.removePath(ItemPath(item));
    for (int i = 0; i < item.childCount(); ++i) Unwatch(*item.child(i));
}

void TpxShellTreeView::DirectoryChanged(const QString& path) {
    QTreeWidgetItem* item = FindItem(path);
    if (item == nullptr) return;
    // A folder that went away is removed through its parent's notification.
    if (!QFileInfo(path).isDir()) {
        watcher_.removePath(path);
        return;
    }
    Merge(*item);
}

bool TpxShellTreeView::NameFits(const QTreeWidgetItem& item) const {
    const QModelIndex index = indexFromItem(&item);
    const QRect cell = visualRect(index);
    if (!cell.isValid()) return true;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int needed = itemDelegateForIndex(index)->sizeHint(option, index).width();
    const int visibleRight = std::min(cell.right(), viewport()->width() - 1);
    return cell.left() + needed - 1 <= visibleRight;
}

void TpxShellTreeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
    }
    QTreeWidget::mousePressEvent(event);
}

bool TpxShellTreeView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QTreeWidget::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    if (const QTreeWidgetItem* item = itemAt(help->pos())) {
        const QRect area = visualItemRect(item);
        if (showInfoTips_) {
            const QFileInfo info(ItemPath(*item));
            const QString tip = ItemPath(*item) + QStringLiteral("\nModified: ") +
                                QLocale().toString(info.lastModified(), QLocale::ShortFormat);
            QToolTip::showText(help->globalPos(), tip, viewport(), area);
            return true;
        }
        if (options_.ShowToolTip && !NameFits(*item)) {
            QToolTip::showText(help->globalPos(), item->text(0), viewport(), area);
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}
