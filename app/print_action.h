#pragma once
// The Print button's work, for the main window to call.
#include <string>

class TPrintDialog;
class TRichEdit;

namespace app {

// Shows the print dialog; when the user confirms, prints the pane's whole
// text as one job named `title` on the printer chosen. Nothing happens when
// the dialog is cancelled. Failures arrive as exceptions (EPrinter).
void PrintPane(TPrintDialog& dialog, TRichEdit& pane, const std::string& title);

}  // namespace app
