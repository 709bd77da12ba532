// The Print button's work: the print dialog, then the pane's text as one job.
#include "app/print_action.h"

#include "app/print_dialog.h"
#include "app/rich_edit.h"

namespace app {

void PrintPane(TPrintDialog& dialog, TRichEdit& pane, const std::string& title) {
    if (!dialog.RunModal()) return;
    pane.PrintDocument(title);
}

}  // namespace app
