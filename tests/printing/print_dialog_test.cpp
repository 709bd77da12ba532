// The print dialog's settings and placement, driven without a user.
#include <QApplication>
#include <QCheckBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>

#include "app/print_dialog.h"
#include "app/printer.h"
#include "print_fixture.h"

namespace printtest {
namespace {

TEST(CenteredDialogPosition, CentresAcrossAndLeavesAThirdAbove) {
    struct Case {
        QRect monitor;
        QSize size;
        QPoint expected;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, {400, 300}, {760, 260}},
        {{1920, 0, 1280, 1024}, {501, 401}, {1920 + 389, 207}},  // second monitor, odd remainders drop
        {{0, -600, 800, 600}, {300, 300}, {250, -500}},
        {{0, 0, 640, 480}, {800, 600}, {-80, -40}},  // larger than the monitor
    };
    for (const Case& c : cases) EXPECT_EQ(CenteredDialogPosition(c.monitor, c.size), c.expected);
}

TEST_F(PrintTest, DialogOffersAllPagesOnlyAndPreselectsCurrentPrinter) {
    QPrinter& current = InstallPdfPrinter(Pdf("current"));
    current.setCopyCount(3);
    TPrintDialog dialog;
    bool checked = false;
    QPoint placed, expected;
    dialog.SetOnShow([&](QPrintDialog& d) {
        EXPECT_FALSE(d.testOption(QAbstractPrintDialog::PrintToFile));
        EXPECT_FALSE(d.testOption(QAbstractPrintDialog::PrintPageRange));
        EXPECT_FALSE(d.testOption(QAbstractPrintDialog::PrintSelection));
        EXPECT_FALSE(d.testOption(QAbstractPrintDialog::PrintCurrentPage));
        EXPECT_EQ(d.printRange(), QAbstractPrintDialog::AllPages);
        // A copy of the current printer's settings, not the printer itself.
        EXPECT_NE(d.printer(), &current);
        EXPECT_EQ(d.printer()->outputFileName(), current.outputFileName());
        EXPECT_EQ(d.printer()->copyCount(), 3);
        QMetaObject::invokeMethod(
            &d,
            [&] {
                placed = d.frameGeometry().topLeft();
                expected = CenteredDialogPosition(d.screen()->geometry(), d.frameGeometry().size());
                checked = true;
                d.reject();
            },
            Qt::QueuedConnection);
    });
    EXPECT_FALSE(dialog.RunModal());
    EXPECT_TRUE(checked);
    EXPECT_EQ(placed, expected);
    // Cancelled: the current printer is the one it was, unchanged.
    EXPECT_EQ(&Printer().Current(), &current);
    EXPECT_EQ(current.copyCount(), 3);
}

TEST_F(PrintTest, CollateBoxFollowsTheComponentNotThePrinter) {
    struct Case {
        bool collate;         // the component's Collate
        bool printerCollate;  // the current printer's own setting
    };
    const Case cases[] = {{false, true}, {false, false}, {true, false}, {true, true}};
    for (const Case& c : cases) {
        QPrinter& current = InstallPdfPrinter(Pdf("collate"));
        current.setCollateCopies(c.printerCollate);
        TPrintDialog dialog;
        dialog.Collate = c.collate;
        bool shown = false;
        dialog.SetOnShow([&](QPrintDialog& d) {
            shown = true;
            EXPECT_EQ(d.printer()->collateCopies(), c.collate) << c.collate << c.printerCollate;
            const auto* box = d.findChild<QCheckBox*>(QStringLiteral("collate"));
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->isChecked(), c.collate) << c.collate << c.printerCollate;
            QMetaObject::invokeMethod(&d, &QDialog::reject, Qt::QueuedConnection);
        });
        EXPECT_FALSE(dialog.RunModal());
        EXPECT_TRUE(shown);
        // Cancelled: the component and the current printer keep their settings.
        EXPECT_EQ(dialog.Collate, c.collate);
        EXPECT_EQ(current.collateCopies(), c.printerCollate);
    }
}

TEST(PrintDialogDefaults, CollateIsOff) { EXPECT_FALSE(TPrintDialog().Collate); }

}  // namespace
}  // namespace printtest
