// The folder dialog's window: the path label, the folder tree, OK and Cancel,
// made afresh for every run.
#include "ui/shell_browser_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>

#include "ui/minimize_name.h"
#include "ui/shell_tree_view.h"

TpxShellBrowserDlg::TpxShellBrowserDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("pxShellBrowserDlg"));
    setWindowTitle(QString::fromLatin1(DefaultCaption));
    setSizeGripEnabled(false);  // the form keeps a grip square of its own
    if (parent != nullptr) setFont(parent->window()->font());
    scale_ = logicalDpiY() / static_cast<double>(DesignDpi);

    lblFolder = new QLabel(tr("Current Folder"), this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setAttribute(Qt::WA_TranslucentBackground);
    pxTeFolder = new QLineEdit(this);
    pxTeFolder->setObjectName(QStringLiteral("pxTeFolder"));
    pxTeFolder->setReadOnly(true);
    pxStv = new TpxShellTreeView(this);
    pxStv->setObjectName(QStringLiteral("pxStv"));
    pxButton1 = new QPushButton(tr("OK"), this);
    pxButton1->setObjectName(QStringLiteral("pxButton1"));
    pxButton1->setDefault(true);
    pxButton2 = new QPushButton(tr("Cancel"), this);
    pxButton2->setObjectName(QStringLiteral("pxButton2"));

    setTabOrder(pxStv, pxTeFolder);
    setTabOrder(pxTeFolder, pxButton1);
    setTabOrder(pxButton1, pxButton2);
    pxStv->setFocus();

    connect(pxButton1, &QPushButton::clicked, this, &QDialog::accept);
    connect(pxButton2, &QPushButton::clicked, this, &QDialog::reject);
    connect(pxStv, &TpxShellTreeView::Change, this, &TpxShellBrowserDlg::pxStvChange);

    FormCreate();
    SetLookAndFeel(lookAndFeel_);
}

QRect TpxShellBrowserDlg::Design(int left, int top, int width, int height) const {
    const auto scaled = [this](int value) { return static_cast<int>(std::lround(value * scale_)); };
    return {scaled(left), scaled(top), scaled(width), scaled(height)};
}

void TpxShellBrowserDlg::FormCreate() {
    sizeGrip_ = new QSizeGrip(this);
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    sizeGripRect_ = QRect(0, 0, extent, extent);
    folderTextHeight_ = pxTeFolder->sizeHint().height();
    designClient_ = Design(0, 0, DesignClientSize.width(), DesignClientSize.height()).size();
    ApplyMinimumSize();
    resize(designClient_);
    FormResize();
    // Centred on the screen the dialog opens on.
    const QScreen* on = parentWidget() != nullptr ? parentWidget()->screen() : screen();
    if (on != nullptr) move(on->availableGeometry().center() - rect().center());
}

void TpxShellBrowserDlg::ApplyMinimumSize() {
    // The minimum is for the outer size; the frame is known once shown.
    const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(0, 0);
    const QSize outer = Design(0, 0, MinimumOuterSize.width(), MinimumOuterSize.height()).size();
    setMinimumSize(std::max(0, outer.width() - frame.width()), std::max(0, outer.height() - frame.height()));
}

void TpxShellBrowserDlg::FormResize() {
    // Anchors: label left/top; folder text left/top/right with its one-line
    // height; tree on all four sides; buttons right/bottom.
    const int dx = width() - designClient_.width();
    const int dy = height() - designClient_.height();
    lblFolder->move(Design(12, 8, 0, 0).topLeft());
    lblFolder->adjustSize();
    const QRect text = Design(12, 24, 284, 0);
    pxTeFolder->setGeometry(text.left(), text.top(), text.width() + dx, folderTextHeight_);
    pxStv->setGeometry(Design(12, 56, 284, 261).adjusted(0, 0, dx, dy));
    pxButton1->setGeometry(Design(139, 323, 75, 25).translated(dx, dy));
    pxButton2->setGeometry(Design(219, 323, 75, 25).translated(dx, dy));

    sizeGripRect_.moveBottomRight(rect().bottomRight());
    sizeGrip_->setGeometry(sizeGripRect_);
    sizeGrip_->lower();  // painted on the form, beneath any control over it
    pxStvChange();
    update();
}

int TpxShellBrowserDlg::FolderTextWidth() const {
    QStyleOptionFrame option;
    option.initFrom(pxTeFolder);
    option.rect = pxTeFolder->rect();
    option.lineWidth =
        pxTeFolder->hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, pxTeFolder) : 0;
    const QRect contents = pxTeFolder->style()->subElementRect(QStyle::SE_LineEditContents, &option, pxTeFolder);
    const QMargins margins = pxTeFolder->textMargins();
    // The line edit keeps two pixels free on either side of its text.
    constexpr int lineEditMargin = 2;
    return std::max(0, contents.width() - margins.left() - margins.right() - 2 * lineEditMargin);
}

void TpxShellBrowserDlg::pxStvChange() {
    const QString shortened = MinimizeName(pxStv->Path(), QFontMetrics(font()), FolderTextWidth());
    pxTeFolder->setText(shortened);
    pxTeFolder->setCursorPosition(0);
}

void TpxShellBrowserDlg::SetLookAndFeel(const TpxLookAndFeel& lookAndFeel) {
    lookAndFeel_ = lookAndFeel;
    lookAndFeel_.ApplyTo(*pxStv);
}

void TpxShellBrowserDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TpxShellBrowserDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ApplyMinimumSize();
}
