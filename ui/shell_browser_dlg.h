#pragma once
// The folder dialog's window: the current folder's (shortened) path above a
// folder tree, and OK and Cancel. Made afresh for every run of the dialog.
#include <QDialog>
#include <QRect>

#include "ui/look_and_feel.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSizeGrip;
class TpxShellTreeView;

class TpxShellBrowserDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* DefaultCaption = "Browse for Folder";
    // The layout as designed at 96 pixels per inch.
    static constexpr int DesignDpi = 96;
    static constexpr QSize DesignClientSize{308, 358};
    static constexpr QSize MinimumOuterSize{250, 300};

    explicit TpxShellBrowserDlg(QWidget* parent = nullptr);

    QLabel* lblFolder = nullptr;
    QLineEdit* pxTeFolder = nullptr;
    TpxShellTreeView* pxStv = nullptr;
    QPushButton* pxButton1 = nullptr;  // OK
    QPushButton* pxButton2 = nullptr;  // Cancel

    // The square at the bottom-right corner that resizes the dialog when
    // dragged: as wide as a vertical and as high as a horizontal scroll bar.
    QRect SizeGripRect() const { return sizeGripRect_; }

    const TpxLookAndFeel& LookAndFeel() const { return lookAndFeel_; }
    // Copies the values and applies them to the controls.
    void SetLookAndFeel(const TpxLookAndFeel& lookAndFeel);

    // The factor from the designed layout to this screen.
    double Scale() const { return scale_; }
    // The width the folder text has for its text.
    int FolderTextWidth() const;

    // Shows the selected folder's path, shortened to the folder text's width.
    void pxStvChange();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormResize();
    void ApplyMinimumSize();
    QRect Design(int left, int top, int width, int height) const;

    TpxLookAndFeel lookAndFeel_;
    QSizeGrip* sizeGrip_ = nullptr;
    QRect sizeGripRect_;
    double scale_ = 1;
    QSize designClient_;
    int folderTextHeight_ = 0;
};
