#pragma once
// The practice folder recorded for the current user, behind the search's contract.
#include "search/contracts.h"

namespace app {

class RegistryPracticeLocation : public IPracticeLocation {
public:
    std::string ReadCurrentPracticePath() override;
};

}  // namespace app
