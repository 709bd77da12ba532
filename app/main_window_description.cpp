#include "app/main_window_description.h"

namespace app {

const fw::StoredWindow& MainWindowDescription() {
    // Every property of the two dialogs is at its default.
    static const fw::StoredWindow description{
        {},
        {
            {"TpxShellBrowserDialog", "pxShellBrowserDialog1", {}},
            {"TPrintDialog", "PrintDialog1", {}},
        },
    };
    return description;
}

}  // namespace app
