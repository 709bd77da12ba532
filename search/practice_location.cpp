// The practice location the window's search uses: the per-user store.
#include "search/practice_location.h"

#include "store/practice_store.h"

namespace app {

std::string RegistryPracticeLocation::ReadCurrentPracticePath() { return app::ReadCurrentPracticePath(); }

}  // namespace app
