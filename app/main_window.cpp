// The main window built from its stored description, and its two handlers:
// Search runs the shared search against the window's components, Print prints the pane.
#include "app/main_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "app/design_font.h"
#include "app/main_window_description.h"
#include "app/print_action.h"
#include "app/print_dialog.h"
#include "app/rich_edit.h"
#include "app/window_contracts.h"
#include "data/lum/connection.h"
#include "framework/reader.h"
#include "search/practice_location.h"
#include "search/search.h"
#include "search/search_database.h"
#include "ui/login_dialog.h"

namespace {

// The stored layout, in pixels at 96 dpi, relative to the client area.
constexpr QSize kClientSize{924, 401};
const QRect kLabel1{374, 21, 340, 13};
const QRect kButton1{720, 9, 75, 25};
const QRect kRichEdit1{8, 40, 907, 329};
const QRect kButton2{808, 8, 75, 25};
const QRect kProgressBar1{8, 375, 908, 21};

}  // namespace

TfrmMain::TfrmMain(app::TApplication& application, const fw::FormatSettings& settings, QWidget* parent)
    : QWidget(parent), application_(application), settings_(settings) {
    SetName("frmMain");
    setObjectName("frmMain");
    setWindowTitle(QString::fromLatin1(Caption));
    CreateControls();
    application_.SetMainWindow(this);
    // A connection that prompts for its login, with no handler of its own,
    // asks through the Database Login dialog over this window.
    previousLoginDialog_ = lum::TLumConnection::SetLoginDialogHook(
        [this](const std::string& databaseName, std::string& user, std::string& password) {
            return RunLoginDialog(this, databaseName, user, password);
        });
}

TfrmMain::~TfrmMain() {
    lum::TLumConnection::SetLoginDialogHook(std::move(previousLoginDialog_));
    application_.SetMainWindow(nullptr);
}

void TfrmMain::CreateControls() {
    const int dpi =
        screen() != nullptr ? static_cast<int>(std::lround(screen()->logicalDotsPerInch())) : app::DesignDpi;
    const QFont font = app::DesignFont(dpi);
    const double scale = app::LayoutScale(font, dpi);
    setFont(font);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    resize(app::Scaled(QRect(QPoint(0, 0), kClientSize), scale).size());

    Label1 = new QLabel(QStringLiteral("Search for Payments and Adjustments that are not completely applied."), this);
    Label1->setObjectName("Label1");
    Label1->move(app::Scaled(kLabel1, scale).topLeft());
    Label1->adjustSize();

    Button1 = new QPushButton(QStringLiteral("Search"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(app::Scaled(kButton1, scale));

    RichEdit1 = new TRichEdit(this);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setGeometry(app::Scaled(kRichEdit1, scale));

    Button2 = new QPushButton(QStringLiteral("Print"), this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(app::Scaled(kButton2, scale));

    pxProgressBar1 = new TpxProgressBar(this);
    pxProgressBar1->setObjectName("pxProgressBar1");
    const QRect bar = app::Scaled(kProgressBar1, scale);
    pxProgressBar1->move(bar.topLeft());
    pxProgressBar1->resize(bar.width(), pxProgressBar1->height());

    ReadNonVisualComponents();

    // Windows buttons answer Enter while they have the focus.
    for (QPushButton* button : {Button1, Button2}) button->setAutoDefault(true);
    setTabOrder(Button1, RichEdit1);
    setTabOrder(RichEdit1, Button2);
    setTabOrder(Button2, pxProgressBar1);
    Button1->setFocus();

    connect(Button1, &QPushButton::clicked, this, [this] { application_.RunHandler([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { application_.RunHandler([this] { Button2Click(); }); });
}

void TfrmMain::ReadNonVisualComponents() {
    fw::TReader reader;
    app::RegisterWindowClasses(reader);
    reader.Read(*this, app::MainWindowDescription());
    pxShellBrowserDialog1 = dynamic_cast<TpxShellBrowserDialog*>(FindComponent("pxShellBrowserDialog1"));
    PrintDialog1 = dynamic_cast<TPrintDialog*>(FindComponent("PrintDialog1"));
    database_ = std::make_unique<app::SearchDatabase>(*this);
}

void TfrmMain::Button1Click() {
    app::ButtonContract button(*Button1);
    app::RegistryPracticeLocation location;
    app::FolderDialogContract dialog(*pxShellBrowserDialog1);
    app::ProgressBarContract bar(*pxProgressBar1);
    app::PaneContract pane(*RichEdit1);
    const app::SearchComponents components{
        button, location, dialog,      database_->Connection(), database_->Query(), database_->Table(),
        bar,    pane,     application_};
    // The lines the pane kept back below its view go in once the search ends,
    // however it ends.
    try {
        app::RunSearch(components, settings_);
    } catch (...) {
        RichEdit1->FlushPendingLines();
        throw;
    }
    RichEdit1->FlushPendingLines();
}

void TfrmMain::Button2Click() { app::PrintPane(*PrintDialog1, *RichEdit1, windowTitle().toStdString()); }

void TfrmMain::closeEvent(QCloseEvent* event) {
    // A close during a search waits until the search handler has returned.
    if (application_.InHandler()) {
        application_.Terminate();
        event->ignore();
        return;
    }
    event->accept();
}
