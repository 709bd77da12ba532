#pragma once
// The "Database Login" dialog: asks for the user name and password with which
// a connection logs in to a data dictionary, when the connection is set to
// prompt and the program gives no login handler of its own.
#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

class TLoginDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* Caption = "Database Login";
    // Both boxes take at most this many characters.
    static constexpr int MaxLength = 31;

    // Shows `databaseName` and starts with `userName` in its box; the focus
    // starts in the user-name box when that is empty, else in the password box.
    TLoginDlg(const QString& databaseName, const QString& userName, QWidget* parent = nullptr);

    QLabel* DatabaseLabel = nullptr;
    QLabel* DatabaseName = nullptr;
    QLabel* UserNameLabel = nullptr;
    QLineEdit* UserName = nullptr;
    QLabel* PasswordLabel = nullptr;
    QLineEdit* Password = nullptr;  // masked with "*"
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

// Runs the dialog modally over `parent`'s window with `user` prefilled. True
// on OK, with `user` and `password` holding what was typed; false on Cancel or
// the close box, both left as they were. `onShow` sees the dialog just before
// it shows, so that a caller (or a test) can adjust or drive it.
bool RunLoginDialog(QWidget* parent, const std::string& databaseName, std::string& user, std::string& password,
                    const std::function<void(TLoginDlg&)>& onShow = {});
