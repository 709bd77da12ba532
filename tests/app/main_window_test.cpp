// The main window offscreen: geometry, tab order, focus, the error box and the
// search started from the keyboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include "app/application.h"
#include "app/main_window.h"
#include "app/rich_edit.h"
#include "framework/exceptions.h"
#include "ui/shell_browser_dialog.h"
#include "ui/shell_browser_dlg.h"

namespace {

struct Geometry {
    const char* name;
    QRect rect;
};

class MainWindowTest : public ::testing::Test {
protected:
    app::TApplication application{"payxref"};
    TfrmMain window{application, fw::FormatSettings{}};
};

}  // namespace

TEST_F(MainWindowTest, ControlsStandWhereTheWindowStoresThem) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)) << "offscreen window not shown";
    EXPECT_EQ(window.windowTitle(), "Payment Cross Reference Tool");
    EXPECT_EQ(window.size(), QSize(924, 401));
    const Geometry cases[] = {
        {"Button1", {720, 9, 75, 25}},
        {"RichEdit1", {8, 40, 907, 329}},
        {"Button2", {808, 8, 75, 25}},
    };
    for (const auto& c : cases) {
        const auto* widget = window.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.rect) << c.name;
    }
    EXPECT_EQ(window.Label1->pos(), QPoint(374, 21));
    EXPECT_EQ(window.Label1->text(), "Search for Payments and Adjustments that are not completely applied.");
    EXPECT_EQ(window.Button1->text(), "Search");
    EXPECT_EQ(window.Button2->text(), "Print");
    EXPECT_EQ(window.findChild<QWidget*>("pxProgressBar1")->geometry().topLeft(), QPoint(8, 375));
    EXPECT_EQ(window.findChild<QWidget*>("pxProgressBar1")->width(), 908);

    // Nothing is anchored but to the top-left corner.
    window.resize(1200, 700);
    EXPECT_EQ(window.RichEdit1->geometry(), QRect(8, 40, 907, 329));
    EXPECT_EQ(window.Button2->geometry(), QRect(808, 8, 75, 25));
}

TEST_F(MainWindowTest, SearchHasTheFocusAndTabFollowsTheStoredOrder) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), window.Button1);
    for (QWidget* next : {static_cast<QWidget*>(window.RichEdit1), static_cast<QWidget*>(window.Button2)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    EXPECT_TRUE(window.RichEdit1->isReadOnly());
    EXPECT_EQ(window.RichEdit1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(window.RichEdit1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(window.RichEdit1->lineWrapMode(), QTextEdit::WidgetWidth);
}

TEST_F(MainWindowTest, EnterAtStartOpensTheFolderDialogAndCancelEndsTheSearch) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QString dialogTitle;
    bool searchEnabledMeanwhile = true;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialogTitle = dialog->windowTitle();
        searchEnabledMeanwhile = window.Button1->isEnabled();
        dialog->close();
    });
    QTest::keyClick(window.Button1, Qt::Key_Return);
    EXPECT_EQ(dialogTitle, "Browse for Folder");
    EXPECT_FALSE(searchEnabledMeanwhile);
    EXPECT_TRUE(window.Button1->isEnabled());
    EXPECT_EQ(window.RichEdit1->TextLength(), 0);
}

TEST_F(MainWindowTest, FolderDialogHangsOnTheWindowAndTakesItsFont) {
    // Not shown, so no window is active: the dialog must still find its window.
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    QWidget* parent = nullptr;
    QFont font;
    window.pxShellBrowserDialog1->SetOnShow([&](TpxShellBrowserDlg& form) {
        parent = form.parentWidget();
        font = form.font();
        QTimer::singleShot(0, &form, &QDialog::reject);
    });
    EXPECT_FALSE(window.pxShellBrowserDialog1->RunModal());
    EXPECT_EQ(parent, &window);
    EXPECT_EQ(font, window.font());
    EXPECT_EQ(font.family(), window.font().family());
    EXPECT_EQ(font.pixelSize(), window.font().pixelSize());
}

TEST_F(MainWindowTest, CloseDuringAHandlerTakesEffectWhenItReturns) {
    window.show();
    bool visibleAfterCloseRequest = false;
    application.RunHandler([&] {
        QMetaObject::invokeMethod(&window, "close", Qt::QueuedConnection);
        application.ProcessPendingMessages();
        visibleAfterCloseRequest = window.isVisible();
    });
    EXPECT_TRUE(visibleAfterCloseRequest);
    EXPECT_TRUE(application.Terminated());
    EXPECT_FALSE(window.isVisible());
}

TEST(ErrorBox, ShowsTheMessageWithTheTitleAndThePeriodRule) {
    struct Case {
        std::string message;
        QString shown;
    };
    const Case cases[] = {
        {"tblpay: Field 'Date From' not found", "tblpay: Field 'Date From' not found."},
        {"Already ends with a period.", "Already ends with a period."},
        {"Ends in a blank ", "Ends in a blank "},
        {"Ends in (parenthesis)", "Ends in (parenthesis)"},
        {"Ends in !", "Ends in !"},
        {"Ends in a digit 5", "Ends in a digit 5."},
    };
    app::TApplication application("payxref");
    for (const auto& c : cases) {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        application.ShowExceptionMessage(fw::EDatabaseError(c.message));
        EXPECT_EQ(title, "payxref");
        EXPECT_EQ(text, c.shown) << c.message;
        EXPECT_EQ(icon, QMessageBox::Critical);
    }
}

TEST(ErrorBox, AbortIsDroppedAndOtherErrorsAreShown) {
    class Recording : public app::TApplication {
    public:
        using TApplication::TApplication;
        void ShowExceptionMessage(const std::exception& error) override { shown.emplace_back(error.what()); }
        std::vector<std::string> shown;
    } application("payxref");
    application.RunHandler([] { throw fw::EAbort("Operation aborted"); });
    application.RunHandler([] { throw fw::EOutOfResources("RichEdit line insertion error"); });
    EXPECT_EQ(application.shown, std::vector<std::string>{"RichEdit line insertion error"});
}

TEST(ApplicationTitle, IsTheExecutableNameWithoutFolderOrExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/local/bin/payxref", "payxref"},
        {"C:\\Tools\\PAYXREF.EXE", "Payxref"},
        {"./PayXRef.tool.bin", "Payxref"},
        {"payxref", "payxref"},
    };
    for (const auto& [path, title] : cases) EXPECT_EQ(app::ApplicationTitleFor(path), title) << path;
}

int main(int argc, char** argv) {
    // Also listing the tests needs a platform; a display is not wanted.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
