// The "Database Login" dialog and its modal run.
#include "ui/login_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

namespace {

QLineEdit* LineEdit(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(TLoginDlg::MaxLength);
    return edit;
}

QLabel* BuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

// Destroys the dialog unless its parent window already did while it ran.
struct DialogDeleter {
    QPointer<TLoginDlg> alive;
    void operator()(TLoginDlg* dialog) const {
        if (alive) delete dialog;
    }
};

}  // namespace

TLoginDlg::TLoginDlg(const QString& databaseName, const QString& userName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("LoginDialog"));
    setWindowTitle(QString::fromLatin1(Caption));
    // A dialog window does not take its parent's font by itself.
    if (parent != nullptr) setFont(parent->window()->font());

    DatabaseName = new QLabel(databaseName, this);
    DatabaseName->setObjectName(QStringLiteral("DatabaseName"));
    DatabaseLabel = new QLabel(QStringLiteral("Database:"), this);
    UserName = LineEdit(QStringLiteral("UserName"), this);
    UserName->setText(userName);
    UserNameLabel = BuddyLabel(QStringLiteral("&User Name:"), UserName, this);
    Password = LineEdit(QStringLiteral("Password"), this);
    Password->setEchoMode(QLineEdit::Password);
    // Every style's own mask character gives way to the asterisk.
    Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    PasswordLabel = BuddyLabel(QStringLiteral("&Password:"), Password, this);

    auto* buttons = new QDialogButtonBox(this);
    OKButton = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(DatabaseLabel, DatabaseName);
    fields->addRow(UserNameLabel, UserName);
    fields->addRow(PasswordLabel, Password);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(UserName, Password);
    setTabOrder(Password, OKButton);
    setTabOrder(OKButton, CancelButton);
    (UserName->text().isEmpty() ? UserName : Password)->setFocus();
}

bool RunLoginDialog(QWidget* parent, const std::string& databaseName, std::string& user, std::string& password,
                    const std::function<void(TLoginDlg&)>& onShow) {
    auto* created = new TLoginDlg(QString::fromStdString(databaseName), QString::fromStdString(user), parent);
    const std::unique_ptr<TLoginDlg, DialogDeleter> dialog(created, DialogDeleter{created});
    dialog->setWindowModality(Qt::ApplicationModal);
    if (onShow) onShow(*dialog);
    // A quit request ends the run as a cancel.
    const QMetaObject::Connection quitting =
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, dialog.get(), &QDialog::reject);
    const int result = dialog->exec();
    QObject::disconnect(quitting);
    if (!dialog.get_deleter().alive || result != QDialog::Accepted) return false;
    user = dialog->UserName->text().toStdString();
    password = dialog->Password->text().toStdString();
    return true;
}
