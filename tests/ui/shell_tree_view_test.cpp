// The folder tree over a temporary folder: listing, lazy reading, watching, selection.
#include "ui/shell_tree_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "folder_fixture.h"
#include "qt_print.h"

namespace {

QStringList ChildNames(const QTreeWidgetItem& item) {
    QStringList names;
    for (int i = 0; i < item.childCount(); ++i) names << item.child(i)->text(0);
    return names;
}

constexpr int WatchTimeoutMs = 5000;

}  // namespace

class ShellTreeView : public FolderFixture {};

TEST_F(ShellTreeView, SetPathSelectsTheNamedFolderOrLeavesTheSelection) {
    struct Case {
        QString text;
        QString selected;  // empty: the selection stays where it was
    };
    const QString relative = At(QStringLiteral("alpha/beta")).mid(1);
    const Case cases[] = {
        {At(QStringLiteral("alpha/beta")), At(QStringLiteral("alpha/beta"))},
        {At(QStringLiteral("alpha/beta/")), At(QStringLiteral("alpha/beta"))},
        {At(QStringLiteral("gamma/../alpha")), At(QStringLiteral("alpha"))},
        {At(QStringLiteral(".hidden/inner")), At(QStringLiteral(".hidden/inner"))},
        {relative, At(QStringLiteral("alpha/beta"))},
        {QStringLiteral("/"), QStringLiteral("/")},
        {QString(), QStringLiteral("/")},
        {At(QStringLiteral("missing")), QString()},
        {At(QStringLiteral("alpha/missing/deeper")), QString()},
        {At(QStringLiteral("ALPHA")), QString()},  // names are case-sensitive
        {At(QStringLiteral("file.txt")), QString()},
    };
    for (const Case& c : cases) {
        TpxShellTreeView tree;
        ASSERT_TRUE(tree.SetPath(At(QStringLiteral("gamma"))));
        EXPECT_EQ(tree.SetPath(c.text), !c.selected.isEmpty()) << c.text.toStdString();
        EXPECT_EQ(tree.Path(), c.selected.isEmpty() ? At(QStringLiteral("gamma")) : c.selected) << c.text.toStdString();
    }
}

TEST_F(ShellTreeView, StartsWithTheRootSelectedAsTheOnlyTopNode) {
    TpxShellTreeView tree;
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.RootItem()->text(0), QStringLiteral("/"));
    EXPECT_TRUE(tree.RootItem()->isExpanded());
    EXPECT_EQ(tree.Path(), QStringLiteral("/"));
    EXPECT_EQ(tree.indentation(), 19);
}

TEST_F(ShellTreeView, ListsVisibleFoldersOnlyAndReadsThemWhenExpanded) {
    TpxShellTreeView tree;
    ASSERT_TRUE(tree.SetPath(At()));
    QTreeWidgetItem* top = tree.FindItem(At());
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->childCount(), 0) << "the selected folder itself is not expanded";
    top->setExpanded(true);
    EXPECT_EQ(ChildNames(*top), (QStringList{QString::fromLatin1(LongName), "alpha", "gamma"}));

    QTreeWidgetItem* alpha = tree.FindItem(At(QStringLiteral("alpha")));
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->childCount(), 0) << "not read before it is expanded";
    EXPECT_EQ(alpha->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    alpha->setExpanded(true);
    EXPECT_EQ(ChildNames(*alpha), QStringList{"beta"});

    // A hidden folder named by a path joins the list without the others.
    ASSERT_TRUE(tree.SetPath(At(QStringLiteral(".hidden/inner"))));
    EXPECT_EQ(ChildNames(*top), (QStringList{".hidden", QString::fromLatin1(LongName), "alpha", "gamma"}));

    TpxDlgShellOptions everything;
    everything.ShowHidden = true;
    everything.ShowNonFolders = true;
    tree.SetShellOptions(everything);
    ASSERT_TRUE(tree.SetPath(At()));
    tree.currentItem()->setExpanded(true);
    EXPECT_EQ(ChildNames(*tree.FindItem(At())),
              (QStringList{".hidden", QString::fromLatin1(LongName), "alpha", "file.txt", "gamma"}));
}

TEST_F(ShellTreeView, ACustomRootLimitsWhatCanBeSelected) {
    TpxShellTreeView tree;
    TpxDlgShellRoot root;
    root.BrowseFolder = TpxBrowseFolder::bfCustomPath;
    root.CustomPath = At().toStdString();
    tree.SetShellRoot(root);
    EXPECT_EQ(tree.RootPath(), At());
    EXPECT_EQ(tree.Path(), At());
    EXPECT_TRUE(tree.SetPath(QStringLiteral("alpha/beta")));  // relative to the root
    EXPECT_EQ(tree.Path(), At(QStringLiteral("alpha/beta")));
    EXPECT_FALSE(tree.SetPath(QStringLiteral("/")));
    EXPECT_FALSE(tree.SetPath(At(QStringLiteral("alpha/../.."))));
    EXPECT_EQ(tree.Path(), At(QStringLiteral("alpha/beta")));
}

TEST_F(ShellTreeView, FollowsFoldersCreatedRenamedAndDeletedWhileShown) {
    TpxShellTreeView tree;
    ASSERT_TRUE(tree.SetPath(At(QStringLiteral("gamma/g1"))));
    const QDir dir(At());

    ASSERT_TRUE(dir.mkdir(QStringLiteral("delta")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tree.FindItem(At(QStringLiteral("delta"))) != nullptr; }, WatchTimeoutMs));

    // The selected folder's parent is renamed: the selection follows it.
    ASSERT_TRUE(QDir().rename(At(QStringLiteral("gamma")), At(QStringLiteral("gamma2"))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tree.Path() == At(QStringLiteral("gamma2/g1")); }, WatchTimeoutMs))
        << tree.Path().toStdString();
    EXPECT_EQ(tree.FindItem(At(QStringLiteral("gamma"))), nullptr);

    ASSERT_TRUE(QDir(At(QStringLiteral("alpha"))).removeRecursively());
    EXPECT_TRUE(QTest::qWaitFor([&] { return tree.FindItem(At(QStringLiteral("alpha"))) == nullptr; }, WatchTimeoutMs));
}

TEST_F(ShellTreeView, RightClickSelectsAndOffersToCopyThePath) {
    TpxShellTreeView tree;
    tree.resize(300, 400);
    tree.show();
    ASSERT_TRUE(tree.SetPath(At(QStringLiteral("alpha"))));
    QTreeWidgetItem* gamma = tree.FindItem(At(QStringLiteral("gamma")));
    ASSERT_NE(gamma, nullptr);
    tree.scrollToItem(gamma);

    QStringList offered;
    QTimer::singleShot(0, &tree, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        for (QAction* action : menu->actions()) {
            offered << action->text();
            if (action->text() == QStringLiteral("Copy Path")) action->trigger();
        }
        menu->close();
    });
    QGuiApplication::clipboard()->clear();
    const QPoint at = tree.visualItemRect(gamma).center();
    QTest::mousePress(tree.viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(tree.viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ(tree.Path(), At(QStringLiteral("gamma"))) << "the right button selects";
    // The window system follows a right click with a menu request.
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, tree.viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree.viewport(), &request);

    EXPECT_TRUE(offered.contains(QStringLiteral("Open in File Manager"))) << offered.join(',').toStdString();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), At(QStringLiteral("gamma")));
}

TEST_F(ShellTreeView, NamesThatDoNotFitGetATooltip) {
    TpxShellTreeView tree;
    tree.resize(200, 300);
    tree.show();
    ASSERT_TRUE(tree.SetPath(At(QStringLiteral("alpha"))));
    QCoreApplication::processEvents();
    const QTreeWidgetItem* shortName = tree.FindItem(At(QStringLiteral("alpha")));
    const QTreeWidgetItem* longName = tree.FindItem(At(QString::fromLatin1(LongName)));
    ASSERT_TRUE(shortName != nullptr && longName != nullptr);
    EXPECT_TRUE(tree.NameFits(*shortName));
    EXPECT_FALSE(tree.NameFits(*longName));
}

TEST_F(ShellTreeView, CreatesAndRenamesFolders) {
    TpxShellTreeView tree;
    ASSERT_TRUE(tree.SetPath(At(QStringLiteral("gamma"))));
    QTreeWidgetItem& gamma = *tree.FindItem(At(QStringLiteral("gamma")));

    QTreeWidgetItem* created = tree.CreateFolder(gamma);
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(QFileInfo(At(QStringLiteral("gamma/New Folder"))).isDir());
    EXPECT_EQ(tree.Path(), At(QStringLiteral("gamma/New Folder")));
    ASSERT_NE(tree.CreateFolder(gamma), nullptr);
    EXPECT_EQ(tree.Path(), At(QStringLiteral("gamma/New Folder (2)")));

    QTreeWidgetItem& second = *tree.currentItem();
    for (const QString& refused : {QString(), QStringLiteral("a/b"), QStringLiteral(".."), QStringLiteral("g1")}) {
        EXPECT_FALSE(tree.RenameFolder(second, refused)) << refused.toStdString();
        EXPECT_EQ(tree.Path(), At(QStringLiteral("gamma/New Folder (2)")));
    }
    EXPECT_TRUE(tree.RenameFolder(second, QStringLiteral("renamed")));
    EXPECT_TRUE(QFileInfo(At(QStringLiteral("gamma/renamed"))).isDir());
    EXPECT_EQ(tree.Path(), At(QStringLiteral("gamma/renamed")));
    EXPECT_EQ(ChildNames(gamma), (QStringList{"g1", "New Folder", "renamed"}));
}

TEST_F(ShellTreeView, WithoutShowRootTheRootsFoldersAreTheTopNodes) {
    TpxShellTreeView tree;
    tree.SetShowRoot(false);
    EXPECT_EQ(tree.rootIndex(), tree.indexFromItem(tree.RootItem()));
    EXPECT_GT(tree.RootItem()->childCount(), 0);
    EXPECT_TRUE(tree.SetPath(At(QStringLiteral("alpha"))));
    EXPECT_EQ(tree.Path(), At(QStringLiteral("alpha")));
}
