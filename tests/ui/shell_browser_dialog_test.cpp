// The folder browser offscreen: starting path, OK and Cancel, captions and the shortened path.
#include "ui/shell_browser_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <functional>

#include "folder_fixture.h"
#include "qt_print.h"
#include "ui/minimize_name.h"
#include "ui/shell_browser_dlg.h"
#include "ui/shell_tree_view.h"

namespace {

// Runs the dialog and lets `act` look at the open form and end the run.
bool RunWith(TpxShellBrowserDialog& dialog, std::function<void(TpxShellBrowserDlg&)> act) {
    dialog.SetOnShow([act](TpxShellBrowserDlg& form) {
        QTimer::singleShot(0, &form, [&form, act] { act(form); });
        // Never hang the run when a check above fails to end it.
        QTimer::singleShot(10000, &form, &QDialog::reject);
    });
    return dialog.RunModal();
}

QRect Scaled(const TpxShellBrowserDlg& form, int left, int top, int width, int height) {
    const auto s = [&](int v) { return static_cast<int>(std::lround(v * form.Scale())); };
    return {s(left), s(top), s(width), s(height)};
}

}  // namespace

class ShellBrowserDialog : public FolderFixture {};

TEST_F(ShellBrowserDialog, OpensAtPathAndReturnsTheFolderOnOk) {
    struct Case {
        QString path;
        QString selected;  // also the Path after OK
        bool customRoot;
    };
    const Case cases[] = {
        {QString(), QStringLiteral("/"), false},
        {QStringLiteral("/"), QStringLiteral("/"), false},
        {At(QStringLiteral("alpha/beta")), At(QStringLiteral("alpha/beta")), false},
        {At(QStringLiteral("alpha/beta/")), At(QStringLiteral("alpha/beta")), false},
        {At(QStringLiteral(".hidden/inner")), At(QStringLiteral(".hidden/inner")), false},
        {At(QStringLiteral("missing")), QStringLiteral("/"), false},
        {At(QStringLiteral("Alpha")), QStringLiteral("/"), false},
        {QStringLiteral("alpha/beta"), At(QStringLiteral("alpha/beta")), true},
        {QStringLiteral("/usr"), At(), true},  // outside the root
    };
    for (const Case& c : cases) {
        TpxShellBrowserDialog dialog(nullptr);
        if (c.customRoot) {
            dialog.Root().BrowseFolder = TpxBrowseFolder::bfCustomPath;
            dialog.Root().CustomPath = At().toStdString();
        }
        dialog.SetPath(c.path.toStdString());
        const bool ok = RunWith(dialog, [&](TpxShellBrowserDlg& form) {
            EXPECT_EQ(QApplication::activeModalWidget(), &form);
            EXPECT_EQ(form.pxStv->Path(), c.selected) << c.path.toStdString();
            EXPECT_EQ(form.pxTeFolder->text(), MinimizeName(c.selected, form.fontMetrics(), form.FolderTextWidth()));
            QTest::mouseClick(form.pxButton1, Qt::LeftButton);
        });
        EXPECT_TRUE(ok) << c.path.toStdString();
        EXPECT_EQ(QString::fromStdString(dialog.Path()), c.selected) << c.path.toStdString();
    }
}

TEST_F(ShellBrowserDialog, OnlyOkTakesTheChosenFolder) {
    struct Case {
        const char* how;
        std::function<void(TpxShellBrowserDlg&)> end;
        bool confirmed;
    };
    const Case cases[] = {
        {"OK button", [](TpxShellBrowserDlg& f) { QTest::mouseClick(f.pxButton1, Qt::LeftButton); }, true},
        {"Enter in the tree", [](TpxShellBrowserDlg& f) { QTest::keyClick(f.pxStv, Qt::Key_Return); }, true},
        {"Cancel button", [](TpxShellBrowserDlg& f) { QTest::mouseClick(f.pxButton2, Qt::LeftButton); }, false},
        {"Escape", [](TpxShellBrowserDlg& f) { QTest::keyClick(f.pxStv, Qt::Key_Escape); }, false},
        {"close box", [](TpxShellBrowserDlg& f) { f.close(); }, false},
    };
    for (const Case& c : cases) {
        TpxShellBrowserDialog dialog(nullptr);
        const std::string before = At(QStringLiteral("alpha")).toStdString();
        dialog.SetPath(before);
        const bool ok = RunWith(dialog, [&](TpxShellBrowserDlg& form) {
            EXPECT_EQ(form.focusWidget(), form.pxStv) << c.how;
            // The user picks another folder in the tree first.
            QTreeWidgetItem* gamma = form.pxStv->FindItem(At(QStringLiteral("gamma")));
            EXPECT_NE(gamma, nullptr);
            if (gamma != nullptr) form.pxStv->setCurrentItem(gamma);
            EXPECT_EQ(form.pxTeFolder->text(),
                      MinimizeName(At(QStringLiteral("gamma")), form.fontMetrics(), form.FolderTextWidth()));
            c.end(form);
        });
        EXPECT_EQ(ok, c.confirmed) << c.how;
        EXPECT_EQ(dialog.Path(), c.confirmed ? At(QStringLiteral("gamma")).toStdString() : before) << c.how;
    }
}

TEST_F(ShellBrowserDialog, CaptionsDefaultOrComeFromTheComponent) {
    TpxShellBrowserDialog dialog(nullptr);
    QString caption, label;
    const auto read = [&](TpxShellBrowserDlg& form) {
        caption = form.windowTitle();
        label = form.lblFolder->text();
        form.reject();
    };
    RunWith(dialog, read);
    EXPECT_EQ(caption, QStringLiteral("Browse for Folder"));
    EXPECT_EQ(label, QStringLiteral("Current Folder"));
    dialog.SetTitle("Practice Folder");
    dialog.SetFolderLabelCaption("Folder");
    RunWith(dialog, read);
    EXPECT_EQ(caption, QStringLiteral("Practice Folder"));
    EXPECT_EQ(label, QStringLiteral("Folder"));
}

TEST_F(ShellBrowserDialog, OwnedByAComponent) {
    fw::TComponent owner;
    TpxShellBrowserDialog& dialog = owner.CreateOwned<TpxShellBrowserDialog>();
    EXPECT_EQ(dialog.Owner(), &owner);
    EXPECT_EQ(owner.ComponentCount(), 1u);
}

class ShellBrowserForm : public FolderFixture {
protected:
    void SetUp() override {
        FolderFixture::SetUp();
        form_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }
    TpxShellBrowserDlg form_;
};

TEST_F(ShellBrowserForm, LaysOutTheControlsAsDesigned) {
    TpxShellBrowserDlg& f = form_;
    EXPECT_EQ(f.size(), Scaled(f, 0, 0, 308, 358).size());
    EXPECT_EQ(f.lblFolder->pos(), Scaled(f, 12, 8, 0, 0).topLeft());
    const QRect text = Scaled(f, 12, 24, 284, 0);
    EXPECT_EQ(f.pxTeFolder->geometry().topLeft(), text.topLeft());
    EXPECT_EQ(f.pxTeFolder->width(), text.width());
    EXPECT_TRUE(f.pxTeFolder->isReadOnly());
    EXPECT_EQ(f.pxStv->geometry(), Scaled(f, 12, 56, 284, 261));
    EXPECT_EQ(f.pxButton1->geometry(), Scaled(f, 139, 323, 75, 25));
    EXPECT_EQ(f.pxButton2->geometry(), Scaled(f, 219, 323, 75, 25));
    EXPECT_EQ(f.pxButton1->text(), QStringLiteral("OK"));
    EXPECT_EQ(f.pxButton2->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(f.pxButton1->isDefault());

    const int extent = f.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &f);
    EXPECT_EQ(f.SizeGripRect(), QRect(f.width() - extent, f.height() - extent, extent, extent));

    // Tab order: tree, folder text, OK, Cancel.
    const QWidget* chain[] = {f.pxStv, f.pxTeFolder, f.pxButton1, f.pxButton2};
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i) {
        const QWidget* next = chain[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || next->focusProxy() != nullptr) next = next->nextInFocusChain();
        EXPECT_EQ(next, chain[i + 1]) << i;
    }
    EXPECT_EQ(QApplication::focusWidget(), f.pxStv);

    const Qt::WindowFlags flags = f.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

TEST_F(ShellBrowserForm, ResizingFollowsTheAnchorsAndStopsAtTheMinimum) {
    TpxShellBrowserDlg& f = form_;
    const QRect text = f.pxTeFolder->geometry();
    const QRect tree = f.pxStv->geometry();
    const QRect ok = f.pxButton1->geometry();
    const QRect cancel = f.pxButton2->geometry();
    const QPoint label = f.lblFolder->pos();

    f.resize(f.width() + 100, f.height() + 40);
    EXPECT_EQ(f.pxTeFolder->geometry(), text.adjusted(0, 0, 100, 0)) << "widens only";
    EXPECT_EQ(f.pxStv->geometry(), tree.adjusted(0, 0, 100, 40));
    EXPECT_EQ(f.pxButton1->geometry(), ok.translated(100, 40));
    EXPECT_EQ(f.pxButton2->geometry(), cancel.translated(100, 40));
    EXPECT_EQ(f.lblFolder->pos(), label);
    EXPECT_EQ(f.SizeGripRect().bottomRight(), f.rect().bottomRight());

    const QSize outerFrame = f.frameGeometry().size() - f.size();
    f.resize(100, 100);
    EXPECT_EQ(f.size() + outerFrame, Scaled(f, 0, 0, 250, 300).size());
}

TEST_F(ShellBrowserForm, FolderTextIsShortenedToItsWidth) {
    TpxShellBrowserDlg& f = form_;
    const QString deep = At(QString::fromLatin1(LongName));
    ASSERT_TRUE(f.pxStv->SetPath(deep));
    f.resize(2000, f.height());
    EXPECT_EQ(f.pxTeFolder->text(), deep);
    f.resize(100, f.height());  // the minimum width
    const QString shown = f.pxTeFolder->text();
    EXPECT_NE(shown, deep);
    EXPECT_TRUE(shown.contains(QStringLiteral("/.../")) || shown.startsWith(QStringLiteral(".../")) ||
                shown == QString::fromLatin1(LongName))
        << shown.toStdString();
    EXPECT_EQ(shown, MinimizeName(deep, f.fontMetrics(), f.FolderTextWidth()));
}
