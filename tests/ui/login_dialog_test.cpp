// The login dialog offscreen: its fields, where the focus starts, and what OK,
// Cancel and the close box hand back.
#include "ui/login_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// Runs the dialog and lets `act` work on it once it is up; `act` ends the run.
bool RunWith(QWidget* parent, const std::string& database, std::string& user, std::string& password,
             const std::function<void(TLoginDlg&)>& act) {
    return RunLoginDialog(parent, database, user, password, [&act](TLoginDlg& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog, &act] { act(dialog); });
        // Never hang the run when a check fails to end it.
        QTimer::singleShot(10000, &dialog, &QDialog::reject);
    });
}

}  // namespace

TEST(LoginDialog, ShowsTheDatabaseAndTheStoredUserAndMasksThePassword) {
    struct Case {
        std::string user;
        const char* focused;  // the box the focus starts in
    };
    const Case cases[] = {{"", "UserName"}, {"clerk", "Password"}};
    for (const Case& c : cases) {
        std::string user = c.user;
        std::string password = "kept";
        bool shown = false;
        RunWith(nullptr, "LumConnection1", user, password, [&](TLoginDlg& d) {
            shown = true;
            EXPECT_EQ(QApplication::activeModalWidget(), &d);
            EXPECT_EQ(d.windowTitle(), "Database Login");
            EXPECT_EQ(d.DatabaseLabel->text(), "Database:");
            EXPECT_EQ(d.DatabaseName->text(), "LumConnection1");
            EXPECT_EQ(d.UserNameLabel->text(), "&User Name:");
            EXPECT_EQ(d.UserNameLabel->buddy(), d.UserName);
            EXPECT_EQ(d.PasswordLabel->text(), "&Password:");
            EXPECT_EQ(d.PasswordLabel->buddy(), d.Password);
            EXPECT_EQ(d.OKButton->text(), "&OK");
            EXPECT_EQ(d.CancelButton->text(), "Cancel");
            EXPECT_TRUE(d.OKButton->isDefault());
            EXPECT_EQ(d.UserName->text().toStdString(), c.user);
            EXPECT_TRUE(d.Password->text().isEmpty()) << "a password is never prefilled";
            ASSERT_NE(d.focusWidget(), nullptr);
            EXPECT_EQ(d.focusWidget()->objectName().toStdString(), c.focused) << c.user;

            QTest::keyClicks(d.Password, "secret");
            EXPECT_EQ(d.Password->displayText(), "******");
            d.reject();
        });
        EXPECT_TRUE(shown);
    }
}

TEST(LoginDialog, OkHandsBackWhatWasTypedAndCancelLeavesBothAlone) {
    const std::string longText(40, 'x');
    struct Case {
        const char* how;
        QString typedUser;
        QString typedPassword;
        std::function<void(TLoginDlg&)> end;
        bool ok;
        std::string user;  // afterwards
        std::string password;
    };
    const auto ok = [](TLoginDlg& d) { QTest::mouseClick(d.OKButton, Qt::LeftButton); };
    const auto enter = [](TLoginDlg& d) { QTest::keyClick(d.Password, Qt::Key_Return); };
    const auto cancel = [](TLoginDlg& d) { QTest::mouseClick(d.CancelButton, Qt::LeftButton); };
    const auto escape = [](TLoginDlg& d) { QTest::keyClick(d.Password, Qt::Key_Escape); };
    const auto closeBox = [](TLoginDlg& d) { d.close(); };
    const Case cases[] = {
        {"OK", "nurse", "brindlex", ok, true, "nurse", "brindlex"},
        {"Enter", "", "pw", enter, true, "", "pw"},
        {"at most 31 characters", QString::fromStdString(longText), QString::fromStdString(longText), ok, true,
         std::string(31, 'x'), std::string(31, 'x')},
        {"Cancel", "nurse", "brindlex", cancel, false, "stored", "old"},
        {"Escape", "nurse", "brindlex", escape, false, "stored", "old"},
        {"close box", "nurse", "brindlex", closeBox, false, "stored", "old"},
    };
    for (const Case& c : cases) {
        std::string user = "stored";
        std::string password = "old";
        const bool result = RunWith(nullptr, "LumConnection1", user, password, [&](TLoginDlg& d) {
            d.UserName->clear();
            QTest::keyClicks(d.UserName, c.typedUser);
            QTest::keyClicks(d.Password, c.typedPassword);
            c.end(d);
        });
        EXPECT_EQ(result, c.ok) << c.how;
        EXPECT_EQ(user, c.user) << c.how;
        EXPECT_EQ(password, c.password) << c.how;
    }
}

TEST(LoginDialog, HangsOnTheParentWindowAndTakesItsFont) {
    QWidget window;
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    window.setFont(font);
    QWidget* inner = new QWidget(&window);
    std::string user, password;
    RunWith(inner, "db", user, password, [&](TLoginDlg& d) {
        EXPECT_EQ(d.parentWidget(), inner);
        EXPECT_EQ(d.font(), window.font());
        d.reject();
    });
}
