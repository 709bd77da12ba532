// The window's Search on a real practice folder, as a user runs it: Enter,
// OK in the folder dialog, and whatever error box follows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "app/application.h"
#include "app/main_window.h"
#include "app/rich_edit.h"
#include "framework/format.h"
#include "store/practice_store.h"
#include "tests/lum/fixture.h"
#include "ui/progress_bar.h"

namespace {

// Answers every modal window that shows up: OK in the folder dialog, OK in an
// error box after noting its text.
class User {
public:
    User() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
        timer_.start(10);
    }
    std::vector<std::string> errors;

private:
    void Answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            errors.push_back(box->text().toStdString());
            box->button(QMessageBox::Ok)->click();
            return;
        }
        for (QPushButton* button : modal->findChildren<QPushButton*>()) {
            if (button->text() == "OK") {
                button->click();
                return;
            }
        }
    }
    QTimer timer_;
};

class WindowSearch : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    std::vector<std::string> PaneLines() const {
        std::vector<std::string> lines;
        const std::string& text = window.RichEdit1->Text();
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find("\r\n", start);
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    lumtest::TempDir practice;
    lumtest::TempDir config;
    app::TApplication application{"payxref"};
    TfrmMain window{application, fw::FormatSettings{}};
};

const long kMarch15_2011 = 2455636;  // Julian day

}  // namespace

TEST_F(WindowSearch, ListsTheUnappliedPaymentsOfTheRecordedPractice) {
    lumtest::BuildPractice(practice,
                           {{1, "I", 100.0, "SMI00001", 7, kMarch15_2011, "PAYCASH"},
                            {2, "A", 100.0, "SMI00001", 7, kMarch15_2011, "99213"},
                            {3, "K", 30.3, "JON00002", std::nullopt, std::nullopt, "ADJ"},
                            {4, "V", 40.0, "DOE00003", 2, kMarch15_2011, "SETTLED"}},
                           {{1, 2, 87.5}, {3, 2, 10.1}, {3, 2, 20.2}, {4, 2, 40.0}, {4, 99, 5.0}});
    app::RecordCurrentPractice(practice.path());
    User user;
    QTest::keyClick(window.Button1, Qt::Key_Return);

    EXPECT_TRUE(user.errors.empty()) << user.errors.front();
    const std::vector<std::string> expected{
        practice.path() + "/ZTDDF.LDD",
        "",
        "Chart: SMI00001 Case Number: 7 Date From: 03/15/2011 Payment/Adjustment Code: PAYCASH Difference: 12.5",
        "Chart: JON00002 Case Number: 0 Date From: 12/30/1899 Payment/Adjustment Code: ADJ Difference: "
        "3.5527136788005E-15",
    };
    EXPECT_EQ(PaneLines(), expected);
    EXPECT_EQ(window.pxProgressBar1->Position(), 3);
    EXPECT_EQ(window.pxProgressBar1->Properties().Max(), 3);
    EXPECT_TRUE(window.Button1->isEnabled());
}

TEST_F(WindowSearch, AFolderWithoutADictionaryEndsInTheErrorBox) {
    app::RecordCurrentPractice(practice.path());
    User user;
    QTest::keyClick(window.Button1, Qt::Key_Return);

    ASSERT_EQ(user.errors.size(), 1u);
    EXPECT_NE(user.errors[0].find("ZTDDF.LDD"), std::string::npos) << user.errors[0];
    EXPECT_EQ(PaneLines(), (std::vector<std::string>{practice.path() + "/ZTDDF.LDD", ""}));
    EXPECT_TRUE(window.Button1->isEnabled());
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
