// payxref: lists the payments and adjustments of a practice that are not
// completely applied to charges.
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/listing_pdf.h"
#include "app/main_window.h"
#include "search/headless_search.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "search") {
        const std::vector<std::string> args(argv + 2, argv + argc);
        // The PDF writer starts Qt itself, only when a PDF is asked for.
        return app::RunHeadlessSearch(args, fw::FormatSettings::FromEnvironment(), std::cout, std::cerr,
                                      app::WriteListingPdf);
    }
    QApplication qtApplication(argc, argv);
    app::TApplication application(app::ApplicationTitleFor(argv[0]));
    TfrmMain frmMain(application, fw::FormatSettings::FromEnvironment());
    frmMain.show();
    return QApplication::exec();
}
