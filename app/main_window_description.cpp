// The window's stored description: the search's own description plus the two
// dialogs only the window has.
#include "app/main_window_description.h"

#include "app/print_dialog.h"
#include "search/search_description.h"
#include "ui/shell_browser_dialog.h"

namespace app {

const fw::StoredWindow& MainWindowDescription() {
    // The dialogs keep their defaults; the order is the window's stored one.
    static const fw::StoredWindow description = [] {
        fw::StoredWindow window;
        window.Components.push_back({"TpxShellBrowserDialog", "pxShellBrowserDialog1", {}});
        const auto& search = SearchComponentDescriptions();
        window.Components.insert(window.Components.end(), search.begin(), search.end());
        window.Components.push_back({"TPrintDialog", "PrintDialog1", {}});
        return window;
    }();
    return description;
}

void RegisterWindowClasses(fw::TReader& reader) {
    RegisterSearchClasses(reader);
    reader.RegisterClass("TpxShellBrowserDialog", [](fw::TComponent& owner) -> fw::TComponent& {
        return owner.CreateOwned<TpxShellBrowserDialog>();
    });
    reader.RegisterClass("TPrintDialog",
                         [](fw::TComponent& owner) -> fw::TComponent& { return owner.CreateOwned<TPrintDialog>(); });
}

}  // namespace app
