// The login of a connection that prompts for it: through the process-wide
// login dialog hook, and through the Database Login dialog the window installs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>
#include <optional>

#include "app/application.h"
#include "app/main_window.h"
#include "data/lum/connection.h"
#include "data/lum/errors.h"
#include "framework/exceptions.h"
#include "tests/lum/fixture.h"
#include "ui/login_dialog.h"

namespace {

// Puts a login dialog hook in place for one test and gives the old one back.
class HookInstalled {
public:
    explicit HookInstalled(lum::TLumConnection::LoginDialog hook)
        : previous_(lum::TLumConnection::SetLoginDialogHook(std::move(hook))) {}
    ~HookInstalled() { lum::TLumConnection::SetLoginDialogHook(std::move(previous_)); }
    HookInstalled(const HookInstalled&) = delete;
    HookInstalled& operator=(const HookInstalled&) = delete;

private:
    lum::TLumConnection::LoginDialog previous_;
};

// What the hook was asked, and what it answers.
struct Login {
    bool asked = false;
    std::string databaseName;
    std::string userShown;
    std::string passwordShown;
    bool answer = true;
    std::string user;
    std::string password;

    lum::TLumConnection::LoginDialog Hook() {
        return [this](const std::string& database, std::string& u, std::string& p) {
            asked = true;
            databaseName = database;
            userShown = u;
            passwordShown = p;
            if (answer) {
                u = user;
                p = password;
            }
            return answer;
        };
    }
};

class PromptingLogin : public ::testing::Test {
protected:
    void SetUp() override { lumtest::BuildPractice(dir, {{1, "A", 10.0}}, {}); }

    // A connection as a developer sets one up: prompting, with a stored user.
    void Prepare(lum::TLumConnection& connection, const std::string& path) const {
        connection.SetName("Practice");
        connection.SetConnectPath(path);
        connection.SetLumServerTypes({lum::TLumServerType::stLUM_LOCAL});
        connection.SetUsername("user");
        connection.SetPassword("stored");
    }
    std::string Dictionary() const { return dir.path() + "\\ZTDDF.LDD"; }

    lumtest::TempDir dir;
};

// The message of the failure `connect` raises, empty when it connects.
std::string FailureOf(const std::function<void()>& connect) {
    try {
        connect();
    } catch (const fw::Exception& e) {
        return e.Message();
    }
    return {};
}

}  // namespace

TEST_F(PromptingLogin, TheHookIsAskedAndItsAnswerLogsIn) {
    struct Case {
        const char* what;
        bool answer;
        std::string password;  // typed
        bool connects;
        std::string message;  // of the failure; empty for an engine refusal
    };
    const Case cases[] = {
        {"OK with the practice's login", true, "brindlex", true, ""},
        {"cancelled", false, "brindlex", false, "Cannot connect to database 'Practice'"},
        {"OK with a wrong password", true, "wrong", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Login login;
        login.answer = c.answer;
        login.user = "user";
        login.password = c.password;
        const HookInstalled installed(login.Hook());
        lum::TLumConnection connection;
        Prepare(connection, Dictionary());
        const std::string message = FailureOf([&] { connection.SetIsConnected(true); });

        EXPECT_TRUE(login.asked);
        EXPECT_EQ(login.databaseName, "Practice");
        EXPECT_EQ(login.userShown, "user");
        EXPECT_EQ(login.passwordShown, "") << "the stored password is never shown";
        EXPECT_EQ(connection.IsConnected(), c.connects);
        if (c.connects) {
            EXPECT_EQ(message, "");
            EXPECT_EQ(connection.Password(), c.password);
        } else if (!c.message.empty()) {
            EXPECT_EQ(message, c.message);
            EXPECT_EQ(connection.Password(), "stored") << "a cancelled login keeps the stored password";
        } else {
            EXPECT_FALSE(message.empty());
        }
    }
}

TEST_F(PromptingLogin, TheHookIsLeftAloneWhenSomethingElseGivesTheLogin) {
    struct Case {
        const char* what;
        std::function<void(lum::TLumConnection&)> set;
        bool dictionary;
    };
    const Case cases[] = {
        {"OnLogin",
         [](lum::TLumConnection& c) {
             c.OnLogin = [](lum::TLumConnection&, std::string& u, std::string& p) {
                 u = "user";
                 p = "brindlex";
             };
         },
         true},
        {"the connection's own dialog",
         [](lum::TLumConnection& c) {
             c.ShowLoginDialog = [](const std::string&, std::string&, std::string& p) {
                 p = "brindlex";
                 return true;
             };
         },
         true},
        {"no prompt, as the search is stored",
         [](lum::TLumConnection& c) {
             c.SetLoginPrompt(false);
             c.SetPassword("brindlex");
         },
         true},
        {"free tables take no login", [](lum::TLumConnection&) {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Login login;
        const HookInstalled installed(login.Hook());
        lum::TLumConnection connection;
        Prepare(connection, c.dictionary ? Dictionary() : dir.path());
        c.set(connection);
        connection.SetIsConnected(true);
        EXPECT_TRUE(connection.IsConnected());
        EXPECT_FALSE(login.asked);
    }
}

TEST_F(PromptingLogin, WithoutAHookTheLoginCountsAsCancelled) {
    const HookInstalled none(nullptr);
    lum::TLumConnection connection;
    Prepare(connection, Dictionary());
    EXPECT_EQ(FailureOf([&] { connection.SetIsConnected(true); }), "Cannot connect to database 'Practice'");
    EXPECT_FALSE(connection.IsConnected());
}

TEST_F(PromptingLogin, TheWindowAsksThroughTheDatabaseLoginDialog) {
    struct Case {
        const char* what;
        bool ok;
        bool connects;
    };
    const Case cases[] = {{"OK", true, true}, {"Cancel", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HookInstalled none(nullptr);
        app::TApplication application("payxref");
        std::optional<TfrmMain> window(std::in_place, application, fw::FormatSettings{});
        lum::TLumConnection connection;
        Prepare(connection, Dictionary());

        QWidget* parent = nullptr;
        QString databaseShown;
        QString userShown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TLoginDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr) << "no login dialog";
            parent = dialog->parentWidget();
            databaseShown = dialog->DatabaseName->text();
            userShown = dialog->UserName->text();
            QTest::keyClicks(dialog->Password, "brindlex");
            QTest::mouseClick(c.ok ? dialog->OKButton : dialog->CancelButton, Qt::LeftButton);
        });
        const std::string message = FailureOf([&] { connection.SetIsConnected(true); });
        EXPECT_EQ(parent, &*window);
        EXPECT_EQ(databaseShown, "Practice");
        EXPECT_EQ(userShown, "user");
        EXPECT_EQ(connection.IsConnected(), c.connects);
        if (!c.connects) {
            EXPECT_EQ(message, "Cannot connect to database 'Practice'");
        }
        connection.SetIsConnected(false);

        // The window gives back the hook it found: none here.
        window.reset();
        EXPECT_EQ(FailureOf([&] { connection.SetIsConnected(true); }), "Cannot connect to database 'Practice'");
    }
}

TEST(SearchConnection, IsStoredWithItsLoginAndNeverPrompts) {
    lumtest::Components c;
    EXPECT_FALSE(c.connection->LoginPrompt());
    EXPECT_EQ(c.connection->Username(), "user");
    EXPECT_FALSE(c.connection->Password().empty());
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
